// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "zipentries.h"

#include <QVector>
#include <QtEndian>

namespace {

quint32 read32(const QByteArray& bytes, int at)
{
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(bytes.constData() + at));
}

quint16 read16(const QByteArray& bytes, int at)
{
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(bytes.constData() + at));
}

// Offsets of the central directory records, in their order; empty when the
// bytes are not a zip file.
QVector<int> centralRecords(const QByteArray& zip)
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
    QVector<int> records;
    for (int i = 0; i < entries; ++i) {
        if (at + 46 > zip.size() || read32(zip, int(at)) != 0x02014b50)
            return {};
        const int nameLength = read16(zip, int(at) + 28);
        const int extraLength = read16(zip, int(at) + 30);
        const int commentLength = read16(zip, int(at) + 32);
        if (at + 46 + nameLength > zip.size())
            return {};
        records << int(at);
        at += 46 + nameLength + extraLength + commentLength;
    }
    return records;
}

QString recordName(const QByteArray& zip, int record)
{
    return QString::fromUtf8(zip.mid(record + 46, read16(zip, record + 28)));
}

}

QStringList zipEntryNames(const QByteArray& zip)
{
    QStringList names;
    const QVector<int> records = centralRecords(zip);
    for (int record : records)
        names << recordName(zip, record);
    return names;
}

QByteArray zipStoredEntry(const QByteArray& zip, const QString& name)
{
    const QVector<int> records = centralRecords(zip);
    for (int record : records) {
        if (recordName(zip, record) != name)
            continue;
        if (read16(zip, record + 10) != 0) // compression method: 0 is stored
            return {};
        const quint32 size = read32(zip, record + 20);
        const qint64 local = read32(zip, record + 42);
        if (local + 30 > zip.size() || read32(zip, int(local)) != 0x04034b50)
            return {};
        // The local header repeats the name and has its own extra field.
        const qint64 data
            = local + 30 + read16(zip, int(local) + 26) + read16(zip, int(local) + 28);
        if (data + size > zip.size())
            return {};
        return zip.mid(int(data), int(size));
    }
    return {};
}
