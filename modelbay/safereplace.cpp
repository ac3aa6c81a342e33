// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "safereplace.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace SafeReplace {

QString freshPathBeside(const QString& target)
{
    const QFileInfo info(target);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? info.fileName() : info.completeBaseName();
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (;;) {
        QString tag;
        for (int i = 0; i < 6; ++i)
            tag.append(QLatin1Char(letters[QRandomGenerator::global()->bounded(36)]));
        QString name = QLatin1Char('.') + base + QLatin1Char('.') + tag;
        if (!suffix.isEmpty())
            name += QLatin1Char('.') + suffix;
        const QString path = info.path() + QLatin1Char('/') + name;
        if (!QFileInfo::exists(path))
            return path;
    }
}

QString replace(const QString& fresh, const QString& target)
{
    // rename(2) swaps the name over in one step; QFile::rename would refuse
    // an existing target, and copying would leave a half-written file on a
    // full disk.
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(target).constData())
        == 0)
        return QString();
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(fresh);
    return QStringLiteral("%1 was not replaced: %2.").arg(target, reason);
}

}

FileReplacer::FileReplacer(QObject* parent)
    : QObject(parent)
{
}

bool FileReplacer::exists(const QUrl& file) const
{
    return file.isLocalFile() && QFileInfo::exists(file.toLocalFile());
}

QUrl FileReplacer::freshUrlBeside(const QUrl& target) const
{
    return QUrl::fromLocalFile(SafeReplace::freshPathBeside(target.toLocalFile()));
}

QString FileReplacer::replace(const QUrl& fresh, const QUrl& target) const
{
    return SafeReplace::replace(fresh.toLocalFile(), target.toLocalFile());
}

void FileReplacer::discard(const QUrl& fresh) const
{
    if (fresh.isLocalFile())
        QFile::remove(fresh.toLocalFile());
}
