// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "pngreader.h"

#include <cstdlib>
#include <cstring>

#include <zlib.h>

namespace {

std::uint32_t be32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

} // namespace

bool PngReader::decode(const std::uint8_t* png, std::size_t size, std::string& why)
{
    static const std::uint8_t signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    if (size < 8 || std::memcmp(png, signature, 8) != 0) {
        why = "it is not a PNG image";
        return false;
    }
    m_compressed.clear();
    bool header = false;
    for (std::size_t at = 8; at + 12 <= size;) {
        const std::uint32_t length = be32(png + at);
        if (length > size - at - 12) {
            why = "the PNG image is cut short";
            return false;
        }
        const std::uint8_t* type = png + at + 4;
        const std::uint8_t* data = png + at + 8;
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
            m_width = int(be32(data));
            m_height = int(be32(data + 4));
            m_channels = data[9] == 0 ? 1 : data[9] == 2 ? 3 : 0;
            if (data[8] != 8 || m_channels == 0 || data[12] != 0 || m_width <= 0 || m_height <= 0
                || m_width > 65535 || m_height > 65535) {
                why = "the PNG image is not 8-bit grey or RGB";
                return false;
            }
            header = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            m_compressed.insert(m_compressed.end(), data, data + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        at += 12 + length;
    }
    if (!header) {
        why = "the PNG image has no header";
        return false;
    }
    const std::size_t stride = std::size_t(m_width) * std::size_t(m_channels);
    m_pixels.resize(stride * std::size_t(m_height));
    m_row.resize(stride + 1);
    z_stream z {};
    if (inflateInit(&z) != Z_OK) {
        why = "there is no memory to decode the PNG image";
        return false;
    }
    z.next_in = m_compressed.data();
    z.avail_in = uInt(m_compressed.size());
    const int bpp = m_channels;
    for (int y = 0; y < m_height; ++y) {
        z.next_out = m_row.data();
        z.avail_out = uInt(m_row.size());
        int status = Z_OK;
        while (z.avail_out > 0 && status == Z_OK)
            status = inflate(&z, Z_SYNC_FLUSH);
        if (z.avail_out > 0) {
            inflateEnd(&z);
            why = "the PNG image's data is damaged or short";
            return false;
        }
        std::uint8_t* out = m_pixels.data() + std::size_t(y) * stride;
        const std::uint8_t* up = y > 0 ? out - stride : nullptr;
        const std::uint8_t* in = m_row.data() + 1;
        switch (m_row[0]) {
        case 0:
            std::memcpy(out, in, stride);
            break;
        case 1:
            for (std::size_t i = 0; i < stride; ++i)
                out[i] = std::uint8_t(in[i] + (i >= std::size_t(bpp) ? out[i - bpp] : 0));
            break;
        case 2:
            for (std::size_t i = 0; i < stride; ++i)
                out[i] = std::uint8_t(in[i] + (up ? up[i] : 0));
            break;
        case 3:
            for (std::size_t i = 0; i < stride; ++i)
                out[i] = std::uint8_t(
                    in[i] + (((i >= std::size_t(bpp) ? out[i - bpp] : 0) + (up ? up[i] : 0)) >> 1));
            break;
        case 4:
            for (std::size_t i = 0; i < stride; ++i) {
                const int a = i >= std::size_t(bpp) ? out[i - bpp] : 0;
                const int b = up ? up[i] : 0;
                const int c = up && i >= std::size_t(bpp) ? up[i - bpp] : 0;
                out[i] = std::uint8_t(in[i] + paeth(a, b, c));
            }
            break;
        default:
            inflateEnd(&z);
            why = "the PNG image has an unknown row filter";
            return false;
        }
    }
    inflateEnd(&z);
    return true;
}
