// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_SHARED_ZIPBUILDER_H
#define TESTS_SHARED_ZIPBUILDER_H

#include <QByteArray>
#include <QString>
#include <QVector>

// Bytes written `times` over in a row: how a small archive holds a part that inflates hugely.
struct ZipPiece {
    QByteArray bytes;
    quint64 times = 1;
};

// A zip archive built in memory, as packages such as 3MF are. Each entry is deflated by zlib from
// its pieces as they come, so a piece repeated a billion times is never held whole; its CRC-32
// and sizes go to the local header and the central directory. No zip64: entries under 4 GiB.
class ZipBuilder {
public:
    void add(const QString& name, const QVector<ZipPiece>& pieces);
    QByteArray finish() const;

private:
    QByteArray m_entries;
    QByteArray m_directory;
    quint16 m_count = 0;
};

#endif
