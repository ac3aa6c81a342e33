// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pngwriter.h"
#include "rundeflate.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <zlib.h>

namespace {

void putUint32BE(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

// Closes the chunk whose 4-byte length field starts at `start`: fills in the length and appends
// the CRC of type and data.
void closeChunk(std::vector<std::uint8_t>& out, std::size_t start)
{
    const std::size_t dataLength = out.size() - start - 8;
    putUint32BE(out.data() + start, std::uint32_t(dataLength));
    const uLong crc = crc32(0L, out.data() + start + 4, uInt(dataLength + 4));
    out.resize(out.size() + 4);
    putUint32BE(out.data() + out.size() - 4, std::uint32_t(crc));
}

void openChunk(std::vector<std::uint8_t>& out, const char* type)
{
    const std::uint8_t header[8] = { 0, 0, 0, 0, std::uint8_t(type[0]), std::uint8_t(type[1]),
        std::uint8_t(type[2]), std::uint8_t(type[3]) };
    out.insert(out.end(), header, header + 8);
}

} // namespace

bool PngWriter::encode(const std::uint8_t* rows, int width, int height, int channels)
{
    m_out.clear();
    if (width <= 0 || height <= 0 || (channels != 1 && channels != 3))
        return false;
    const std::size_t rawSize = std::size_t(height) * (1 + std::size_t(width) * channels);
    if (rawSize > 0xFFFFFFFFu)
        return false;
    if (channels == 1) {
        runDeflate(rows, rawSize, m_compressed);
    } else {
        uLongf length = compressBound(uLong(rawSize));
        m_compressed.resize(length);
        if (compress2(m_compressed.data(), &length, rows, uLong(rawSize), Z_DEFAULT_COMPRESSION)
            != Z_OK)
            return false;
        m_compressed.resize(length);
    }

    static const std::uint8_t signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    m_out.insert(m_out.end(), signature, signature + 8);

    std::size_t start = m_out.size();
    openChunk(m_out, "IHDR");
    std::uint8_t header[13];
    putUint32BE(header, std::uint32_t(width));
    putUint32BE(header + 4, std::uint32_t(height));
    header[8] = 8; // bits per sample
    header[9] = channels == 1 ? 0 : 2; // colour type: greyscale or RGB
    header[10] = 0; // compression: deflate
    header[11] = 0; // filter method: adaptive (every row says "none")
    header[12] = 0; // no interlace
    m_out.insert(m_out.end(), header, header + 13);
    closeChunk(m_out, start);

    start = m_out.size();
    openChunk(m_out, "IDAT");
    m_out.insert(m_out.end(), m_compressed.begin(), m_compressed.end());
    closeChunk(m_out, start);

    start = m_out.size();
    openChunk(m_out, "IEND");
    closeChunk(m_out, start);
    return true;
}

bool PngWriter::save(const std::string& path, std::string& error) const
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "Cannot write the image " + path + ": " + std::strerror(errno) + ".";
        return false;
    }
    const bool written = std::fwrite(m_out.data(), 1, m_out.size(), file) == m_out.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "Cannot write the image " + path + ": "
            + std::strerror(written ? errno : writeErrno) + ".";
        std::remove(path.c_str());
        return false;
    }
    return true;
}
