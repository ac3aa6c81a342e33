// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "zipbuilder.h"

#include <QtEndian>

#include <zlib.h>

namespace {

void append16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian<quint16>(value, bytes);
    out.append(bytes, 2);
}

void append32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian<quint32>(value, bytes);
    out.append(bytes, 4);
}

// Deflates `in` (Z_FINISH when it is the last) onto the end of `out`.
void deflateInto(z_stream& stream, const QByteArray& in, bool last, QByteArray& out)
{
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    stream.avail_in = uInt(in.size());
    char buffer[1 << 16];
    int status = Z_OK;
    do {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        out.append(buffer, int(sizeof buffer - stream.avail_out));
    } while (stream.avail_out == 0 || (last && status != Z_STREAM_END));
}

} // namespace

void ZipBuilder::add(const QString& name, const QVector<ZipPiece>& pieces)
{
    z_stream stream {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray deflated;
    uLong crc = crc32(0, nullptr, 0);
    quint64 size = 0;
    for (const ZipPiece& piece : pieces) {
        // Repeats are handed to zlib a few megabytes at a time.
        const quint64 perBatch
            = qMax<quint64>(1, (quint64(4) << 20) / quint64(qMax(1, piece.bytes.size())));
        QByteArray batch = piece.bytes.repeated(int(qMin(perBatch, piece.times)));
        const quint64 batchTimes = qMin(perBatch, piece.times);
        for (quint64 done = 0; done < piece.times; done += batchTimes) {
            if (piece.times - done < batchTimes)
                batch = piece.bytes.repeated(int(piece.times - done));
            crc = crc32(crc, reinterpret_cast<const Bytef*>(batch.constData()), uInt(batch.size()));
            size += quint64(batch.size());
            deflateInto(stream, batch, false, deflated);
        }
    }
    deflateInto(stream, QByteArray(), true, deflated);
    deflateEnd(&stream);

    const QByteArray fileName = name.toUtf8();
    const quint32 offset = quint32(m_entries.size());
    // Local file header
    append32(m_entries, 0x04034b50);
    append16(m_entries, 20); // version needed
    append16(m_entries, 0); // flags
    append16(m_entries, 8); // deflated
    append32(m_entries, 0); // time and date
    append32(m_entries, quint32(crc));
    append32(m_entries, quint32(deflated.size()));
    append32(m_entries, quint32(size));
    append16(m_entries, quint16(fileName.size()));
    append16(m_entries, 0); // extra field
    m_entries += fileName + deflated;
    // Central directory record
    append32(m_directory, 0x02014b50);
    append16(m_directory, 20); // made by
    append16(m_directory, 20); // version needed
    append16(m_directory, 0); // flags
    append16(m_directory, 8); // deflated
    append32(m_directory, 0); // time and date
    append32(m_directory, quint32(crc));
    append32(m_directory, quint32(deflated.size()));
    append32(m_directory, quint32(size));
    append16(m_directory, quint16(fileName.size()));
    append16(m_directory, 0); // extra field
    append16(m_directory, 0); // comment
    append16(m_directory, 0); // disk
    append16(m_directory, 0); // internal attributes
    append32(m_directory, 0); // external attributes
    append32(m_directory, offset);
    m_directory += fileName;
    ++m_count;
}

QByteArray ZipBuilder::finish() const
{
    QByteArray zip = m_entries + m_directory;
    // End of central directory record
    append32(zip, 0x06054b50);
    append16(zip, 0); // this disk
    append16(zip, 0); // disk of the directory
    append16(zip, m_count);
    append16(zip, m_count);
    append32(zip, quint32(m_directory.size()));
    append32(zip, quint32(m_entries.size()));
    append16(zip, 0); // comment
    return zip;
}
