// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "thumbnail.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

constexpr std::uint8_t kBackground[3] = { 32, 34, 38 };
constexpr std::uint8_t kResin[3] = { 250, 190, 80 };
constexpr int kSamples = 4; // per axis and thumbnail pixel

} // namespace

std::vector<std::uint8_t> renderThumbnail(const std::uint8_t* cover, int width, int height,
    bool flipX, bool flipY, int thumbWidth, int thumbHeight)
{
    const std::size_t stride = 1 + std::size_t(thumbWidth) * 3;
    std::vector<std::uint8_t> rows(stride * std::size_t(thumbHeight), 0);

    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = cover + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x) {
            if (line[x]) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) { // nothing cured: show the whole plate
        left = 0;
        right = width - 1;
        top = 0;
        bottom = height - 1;
    }
    const double margin = 0.08 * std::max(right - left + 1, bottom - top + 1) + 2;
    const double boxWidth = right - left + 1 + 2 * margin;
    const double boxHeight = bottom - top + 1 + 2 * margin;
    const double scale
        = std::max(boxWidth / thumbWidth, boxHeight / thumbHeight); // source px per thumb px
    const double originX = (left + right + 1) / 2.0 - scale * thumbWidth / 2.0;
    const double originY = (top + bottom + 1) / 2.0 - scale * thumbHeight / 2.0;

    for (int ty = 0; ty < thumbHeight; ++ty) {
        for (int tx = 0; tx < thumbWidth; ++tx) {
            int hits = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                const long y = long(std::floor(originY + scale * (ty + (sy + 0.5) / kSamples)));
                if (y < 0 || y >= height)
                    continue;
                for (int sx = 0; sx < kSamples; ++sx) {
                    const long x = long(std::floor(originX + scale * (tx + (sx + 0.5) / kSamples)));
                    if (x < 0 || x >= width)
                        continue;
                    hits += cover[std::size_t(y) * std::size_t(width) + std::size_t(x)] != 0;
                }
            }
            // The picture is drawn as seen from above; mirrored layer images are flipped back.
            const int dx = flipX ? thumbWidth - 1 - tx : tx;
            const int dy = flipY ? thumbHeight - 1 - ty : ty;
            std::uint8_t* pixel = rows.data() + std::size_t(dy) * stride + 1 + std::size_t(dx) * 3;
            for (int k = 0; k < 3; ++k)
                pixel[k] = std::uint8_t(
                    (kBackground[k] * (kSamples * kSamples - hits) + kResin[k] * hits)
                    / (kSamples * kSamples));
        }
    }
    return rows;
}
