// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "formbody.h"

#include <QUrl>
#include <QUrlQuery>

QByteArray formBody(const FormItems& items)
{
    QUrlQuery query;
    for (const auto& item : items)
        query.addQueryItem(item.first, item.second);
    QString text = query.toString(QUrl::FullyEncoded);
    // The delimiters are "&" and "=", so every "+" left in the text came from
    // a key or a value.
    text.replace(QLatin1Char('+'), QLatin1String("%2B"));
    return text.toUtf8();
}
