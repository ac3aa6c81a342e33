// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "zipentries.h"

#include <QtEndian>

namespace {

quint32 read32(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(bytes.constData() + at));
}

quint16 read16(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar *>(bytes.constData() + at));
}

}

QStringList zipEntryNames(const QByteArray &zip)
{
    if (!zip.startsWith("PK\x03\x04")) // a local file header first
        return {};
    // The end-of-central-directory record is the last 22 bytes, plus a comment.
    const int minimumEnd = 22;
    int end = zip.size() - minimumEnd;
    while (end >= 0 && read32(zip, end) != 0x06054b50)
        --end;
    if (end < 0)
        return {};
    const int entries = read16(zip, end + 10);
    qint64 at = read32(zip, end + 16);
    QStringList names;
    for (int i = 0; i < entries; ++i) {
        if (at + 46 > zip.size() || read32(zip, int(at)) != 0x02014b50)
            return {};
        const int nameLength = read16(zip, int(at) + 28);
        const int extraLength = read16(zip, int(at) + 30);
        const int commentLength = read16(zip, int(at) + 32);
        if (at + 46 + nameLength > zip.size())
            return {};
        names << QString::fromUtf8(zip.mid(int(at) + 46, nameLength));
        at += 46 + nameLength + extraLength + commentLength;
    }
    return names;
}
