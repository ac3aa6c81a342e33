// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfilemove.h"

#include <QFile>
#include <QFileInfo>

QString moveJobFile(const QString& source, const QString& destination)
{
    // QFile::rename fails on an empty name anyway, but warns on the console
    // on its way; answer these two cases before asking it.
    if (destination.isEmpty())
        return QStringLiteral("The job file was not saved: no destination file was chosen.");
    if (source.isEmpty())
        return QStringLiteral("The job file was not saved to %1: the agent named no job file.")
            .arg(destination);

    QFile job(source);
    if (job.rename(destination))
        return QString();

    if (QFileInfo::exists(destination))
        return QStringLiteral(
            "The job file was not saved to %1: a file of that name already exists.")
            .arg(destination);
    if (!QFileInfo::exists(source))
        return QStringLiteral(
            "The job file was not saved to %1: the agent's job file %2 does not exist.")
            .arg(destination, source);
    return QStringLiteral("The job file was not saved to %1: %2.")
        .arg(destination, job.errorString());
}
