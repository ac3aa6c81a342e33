// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MESHIO_ZIPPART_H
#define MESHIO_ZIPPART_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <zlib.h>

#include <cstddef>
#include <string>

// The zip side of a 3MF package: its central directory, and each model part's text a piece at a
// time. Sentences name the file a 3MF file: that is the only zip this program reads.
struct ZipEntry {
    QString name;
    quint16 method = 0;
    quint32 crc = 0;
    quint32 compressedSize = 0;
    quint32 size = 0;
    quint32 localHeader = 0;
};

// The entries of the archive's central directory; false and a sentence when it is damaged.
bool zipCentralDirectory(
    const unsigned char* zip, std::size_t size, QVector<ZipEntry>& entries, std::string& error);

// The text of one part, a piece of at most 256 KiB at a time: inflated as it is read and never
// held whole. Its size and CRC are checked when it ends.
class ZipPartStream {
public:
    ZipPartStream() = default;
    ZipPartStream(const ZipPartStream&) = delete;
    ZipPartStream& operator=(const ZipPartStream&) = delete;
    ~ZipPartStream();

    // `zip` must outlive the stream.
    bool open(
        const unsigned char* zip, std::size_t zipSize, const ZipEntry& entry, std::string& error);
    bool ended() const { return m_ended; }
    // The next piece of text into `piece`: empty once the part has ended (and proved whole).
    bool next(QByteArray& piece, std::string& error);

private:
    bool account(const QByteArray& piece, std::string& error);

    ZipEntry m_entry;
    const unsigned char* m_data = nullptr;
    quint32 m_left = 0;
    z_stream m_stream {};
    bool m_inflating = false;
    bool m_ended = false;
    quint64 m_produced = 0;
    uLong m_crc = crc32(0, nullptr, 0);
};

#endif
