// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentreply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

const char fallbackPrinterDocument[] = "{\"printers_array\":[{\"name\":\"Not Discovered\","
                                       "\"ip\":\"Not Discovered\",\"port\":\"Not Discovered\","
                                       "\"profiles_array\":[{\"Title\":\"Not Discovered\","
                                       "\"ProfileID\":0,\"Depth\":0}]}]}";

QJsonArray fallbackPrinterList()
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(fallbackPrinterDocument));
    return document.object().value(QLatin1String("printers_array")).toArray();
}

QString agentErrorText(const QByteArray& body, const QString& networkErrorText)
{
    const QString agentText
        = QJsonDocument::fromJson(body).object().value(QLatin1String("error")).toString();
    return agentText.isEmpty() ? networkErrorText : agentText;
}
