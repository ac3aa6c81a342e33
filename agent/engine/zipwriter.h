// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_ZIPWRITER_H
#define AGENT_ENGINE_ZIPWRITER_H

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

// Writes a plain zip archive (no zip64: under 4 GiB and 65535 entries) to an open file, entry by
// entry: stored or deflated, with the CRC-32 of each. finish() writes the central directory; the
// caller owns, closes and renames the file.
class ZipWriter {
public:
    ZipWriter(std::FILE* file, std::time_t modified);

    bool add(const std::string& name, const std::uint8_t* data, std::size_t size, bool deflate,
        std::string& error);
    bool finish(std::string& error);

private:
    struct Entry {
        std::string name;
        std::uint32_t crc;
        std::uint32_t compressedSize;
        std::uint32_t size;
        std::uint16_t method;
        std::uint32_t offset;
    };

    bool write(const void* data, std::size_t size, std::string& error);

    std::FILE* m_file;
    std::uint16_t m_dosTime = 0;
    std::uint16_t m_dosDate = 0;
    std::uint64_t m_offset = 0;
    std::vector<Entry> m_entries;
    std::vector<std::uint8_t> m_deflated;
};

#endif
