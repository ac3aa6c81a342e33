// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "zipwriter.h"

#include <cerrno>
#include <cstring>

#include <zlib.h>

namespace {

constexpr std::uint64_t kLimit = 0xFFFFFFFFu;
const char* const kTooLarge = "The job file would exceed 4 GiB, more than a job file can hold.";

void put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    put16(out, std::uint16_t(v));
    put16(out, std::uint16_t(v >> 16));
}

bool deflateRaw(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out)
{
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    // Negative window bits: raw deflate, as zip entries hold it (no zlib header or trailer).
    if (deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(deflateBound(&stream, uLong(size)));
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = uInt(size);
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return done;
}

} // namespace

ZipWriter::ZipWriter(std::FILE* file, std::time_t modified)
    : m_file(file)
{
    std::tm local {};
    localtime_r(&modified, &local);
    // MS-DOS date and time, as zip keeps them: two-second steps, years from 1980.
    const int year = local.tm_year + 1900 < 1980 ? 0 : local.tm_year + 1900 - 1980;
    m_dosTime = std::uint16_t(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    m_dosDate = std::uint16_t(year << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
}

bool ZipWriter::write(const void* data, std::size_t size, std::string& error)
{
    if (std::fwrite(data, 1, size, m_file) != size) {
        error = std::string("Cannot write the job file: ") + std::strerror(errno) + ".";
        return false;
    }
    m_offset += size;
    return true;
}

bool ZipWriter::add(const std::string& name, const std::uint8_t* data, std::size_t size,
    bool deflate, std::string& error)
{
    if (m_entries.size() >= 0xFFFF) {
        error = "The job file would hold more than 65535 files, more than a job file can hold.";
        return false;
    }
    if (size > kLimit || m_offset > kLimit || name.size() > 0xFFFF) {
        error = kTooLarge;
        return false;
    }
    Entry entry;
    entry.name = name;
    entry.crc = std::uint32_t(crc32(crc32(0L, Z_NULL, 0), data, uInt(size)));
    entry.size = std::uint32_t(size);
    entry.offset = std::uint32_t(m_offset);
    const std::uint8_t* payload = data;
    std::size_t payloadSize = size;
    entry.method = 0; // stored
    if (deflate && size > 0) {
        if (!deflateRaw(data, size, m_deflated)) {
            error = "Cannot compress " + name + " for the job file.";
            return false;
        }
        if (m_deflated.size() < size) {
            entry.method = 8; // deflated
            payload = m_deflated.data();
            payloadSize = m_deflated.size();
        }
    }
    entry.compressedSize = std::uint32_t(payloadSize);

    std::vector<std::uint8_t> header;
    put32(header, 0x04034b50); // local file header signature
    put16(header, 20); // version needed: 2.0
    put16(header, 0); // flags
    put16(header, entry.method); // compression method
    put16(header, m_dosTime); // modification time
    put16(header, m_dosDate); // modification date
    put32(header, entry.crc); // CRC-32
    put32(header, entry.compressedSize); // compressed size
    put32(header, entry.size); // uncompressed size
    put16(header, std::uint16_t(name.size())); // file name length
    put16(header, 0); // extra field length
    header.insert(header.end(), name.begin(), name.end());
    if (!write(header.data(), header.size(), error) || !write(payload, payloadSize, error))
        return false;
    m_entries.push_back(entry);
    return true;
}

bool ZipWriter::finish(std::string& error)
{
    const std::uint64_t directoryOffset = m_offset;
    std::vector<std::uint8_t> directory;
    for (const Entry& entry : m_entries) {
        put32(directory, 0x02014b50); // central directory header signature
        put16(directory, 3 << 8 | 20); // made by: Unix, version 2.0
        put16(directory, 20); // version needed: 2.0
        put16(directory, 0); // flags
        put16(directory, entry.method); // compression method
        put16(directory, m_dosTime); // modification time
        put16(directory, m_dosDate); // modification date
        put32(directory, entry.crc); // CRC-32
        put32(directory, entry.compressedSize); // compressed size
        put32(directory, entry.size); // uncompressed size
        put16(directory, std::uint16_t(entry.name.size())); // file name length
        put16(directory, 0); // extra field length
        put16(directory, 0); // comment length
        put16(directory, 0); // disk number start
        put16(directory, 0); // internal attributes
        put32(directory, 0100644u << 16); // external attributes: a regular file, rw-r--r--
        put32(directory, entry.offset); // offset of the local header
        directory.insert(directory.end(), entry.name.begin(), entry.name.end());
    }
    if (directoryOffset + directory.size() > kLimit) {
        error = kTooLarge;
        return false;
    }
    std::vector<std::uint8_t> end;
    put32(end, 0x06054b50); // end of central directory signature
    put16(end, 0); // number of this disk
    put16(end, 0); // disk with the central directory
    put16(end, std::uint16_t(m_entries.size())); // entries on this disk
    put16(end, std::uint16_t(m_entries.size())); // entries in total
    put32(end, std::uint32_t(directory.size())); // size of the central directory
    put32(end, std::uint32_t(directoryOffset)); // offset of the central directory
    put16(end, 0); // comment length
    return write(directory.data(), directory.size(), error) && write(end.data(), end.size(), error);
}
