// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_THUMBNAIL_H
#define AGENT_ENGINE_THUMBNAIL_H

#include <cstdint>
#include <vector>

// Renders a top view of the area that any layer cures into an RGB image of the given size, rows
// starting with their filter byte (ready for PngWriter). `cover` holds width * height bytes of the
// layer images' pixel grid, non-zero where cured. The view is cropped to the cured area with a
// margin and keeps its proportions; flipX/flipY undo the layer images' mirroring so that the
// picture shows the plate as seen from above.
std::vector<std::uint8_t> renderThumbnail(const std::uint8_t* cover, int width, int height,
    bool flipX, bool flipY, int thumbWidth, int thumbHeight);

#endif
