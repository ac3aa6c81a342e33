// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "workfolder.h"

#include <QDir>

WorkFolder::WorkFolder(QObject* parent)
    : QObject(parent)
    , m_dir(QDir::tempPath() + QStringLiteral("/corvane-XXXXXX"))
{
}

QUrl WorkFolder::url() const
{
    return m_dir.isValid() ? QUrl::fromLocalFile(m_dir.path()) : QUrl();
}
