// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "zippart.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr int kPieceSize = 256 << 10;

const char* const kDamagedPart = "The 3MF file's model part is damaged or truncated.";

quint16 u16(const unsigned char* p) { return qFromLittleEndian<quint16>(p); }

quint32 u32(const unsigned char* p) { return qFromLittleEndian<quint32>(p); }

} // namespace

bool zipCentralDirectory(
    const unsigned char* zip, std::size_t size, QVector<ZipEntry>& entries, std::string& error)
{
    const char* const damaged = "The 3MF file is not a complete zip archive.";
    // The end record is 22 bytes plus a comment of up to 65535.
    const qint64 total = qint64(size);
    qint64 end = -1;
    for (qint64 at = total - 22; at >= 0 && at >= total - 22 - 65535; --at) {
        if (u32(zip + at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end < 0) {
        error = damaged;
        return false;
    }
    const quint16 count = u16(zip + end + 10);
    const quint32 directorySize = u32(zip + end + 12);
    const quint32 directoryOffset = u32(zip + end + 16);
    if (quint64(directoryOffset) + directorySize > quint64(end)) {
        error = damaged;
        return false;
    }
    qint64 at = directoryOffset;
    for (int i = 0; i < count; ++i) {
        if (at + 46 > end || u32(zip + at) != 0x02014b50) {
            error = damaged;
            return false;
        }
        ZipEntry entry;
        entry.method = u16(zip + at + 10);
        entry.crc = u32(zip + at + 16);
        entry.compressedSize = u32(zip + at + 20);
        entry.size = u32(zip + at + 24);
        const quint16 nameLength = u16(zip + at + 28);
        const quint16 extraLength = u16(zip + at + 30);
        const quint16 commentLength = u16(zip + at + 32);
        entry.localHeader = u32(zip + at + 42);
        if (at + 46 + nameLength > end) {
            error = damaged;
            return false;
        }
        entry.name = QString::fromUtf8(reinterpret_cast<const char*>(zip + at + 46), nameLength);
        entries.append(entry);
        at += 46 + nameLength + extraLength + commentLength;
    }
    return true;
}

ZipPartStream::~ZipPartStream()
{
    if (m_inflating)
        inflateEnd(&m_stream);
}

bool ZipPartStream::open(
    const unsigned char* zip, std::size_t zipSize, const ZipEntry& entry, std::string& error)
{
    m_entry = entry;
    const quint64 header = entry.localHeader;
    if (header + 30 > zipSize || u32(zip + header) != 0x04034b50) {
        error = kDamagedPart;
        return false;
    }
    const quint64 dataAt = header + 30 + u16(zip + header + 26) + u16(zip + header + 28);
    if (dataAt + entry.compressedSize > zipSize) {
        error = kDamagedPart;
        return false;
    }
    m_data = zip + dataAt;
    m_left = entry.compressedSize;
    if (entry.method == 0) {
        if (entry.compressedSize != entry.size) {
            error = kDamagedPart;
            return false;
        }
        return true;
    }
    if (entry.method != 8) {
        error = "The 3MF file's model part is compressed in a way this program does not read.";
        return false;
    }
    if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK) {
        error = kDamagedPart;
        return false;
    }
    m_inflating = true;
    m_stream.next_in = const_cast<Bytef*>(m_data);
    m_stream.avail_in = m_left;
    return true;
}

bool ZipPartStream::next(QByteArray& piece, std::string& error)
{
    piece.clear();
    if (m_ended)
        return true;
    if (!m_inflating) {
        const quint32 take = std::min<quint32>(m_left, kPieceSize);
        piece = QByteArray(reinterpret_cast<const char*>(m_data), int(take));
        m_data += take;
        m_left -= take;
        m_ended = m_left == 0;
        return account(piece, error);
    }
    piece.resize(kPieceSize);
    int produced = 0;
    while (produced == 0 && !m_ended) {
        m_stream.next_out = reinterpret_cast<Bytef*>(piece.data());
        m_stream.avail_out = uInt(kPieceSize);
        const int status = inflate(&m_stream, Z_NO_FLUSH);
        produced = kPieceSize - int(m_stream.avail_out);
        m_ended = status == Z_STREAM_END;
        // With room for output, anything else (Z_BUF_ERROR too) means the data is broken or
        // ends before the stream does.
        if (!m_ended && (status != Z_OK || (produced == 0 && m_stream.avail_in == 0))) {
            error = kDamagedPart;
            return false;
        }
    }
    piece.resize(produced);
    return account(piece, error);
}

bool ZipPartStream::account(const QByteArray& piece, std::string& error)
{
    m_produced += quint64(piece.size());
    m_crc = crc32(m_crc, reinterpret_cast<const Bytef*>(piece.constData()), uInt(piece.size()));
    // The central directory's size and CRC: the local header may leave them to a descriptor.
    if (m_produced > m_entry.size
        || (m_ended && (m_produced != m_entry.size || m_crc != m_entry.crc))) {
        error = kDamagedPart;
        return false;
    }
    return true;
}
