// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PNGRUNS_H
#define AGENT_ENGINE_PNGRUNS_H

#include "jobformat.h"

// The runs of an 8-bit greyscale layer PNG read straight from its compressed data, without
// unpacking its pixels: the slicer's layer images are runs of one byte copied at distance 1, so
// each run costs a few Huffman codes instead of thousands of bytes. Runs are row-major and
// continue across rows; adjacent runs have different greys. False when the image is not one this
// reads (another size, a row filter other than none, copies at other distances, damage): then
// decode it the ordinary way.
bool pngLayerRuns(
    const std::uint8_t* png, std::size_t size, int width, int height, std::vector<LayerRun>& runs);

#endif
