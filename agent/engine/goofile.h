// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_GOOFILE_H
#define AGENT_ENGINE_GOOFILE_H

#include "jobformat.h"

// GOO job files, version 3.0 (Elegoo; Phrozen's ".prz" is the same file): a fixed 195,477-byte
// header with two RGB565 previews, one record per layer, an 11-byte ending; big-endian.
std::unique_ptr<JobWriter> makeGooWriter(const JobFormat& format);
std::unique_ptr<JobReader> makeGooReader();

// The run-length chunks of one layer image (count pixels, row-major). Runs continue across
// rows; each chunk holds at most 0x0FFFFFFF pixels; greys 0 and 255 have chunk kinds of their own.
void encodeGooLayer(const std::uint8_t* pixels, std::size_t count, std::vector<std::uint8_t>& out);
// The same from runs (adjacent runs of one grey may come apart); returns the pixels they cover.
std::size_t encodeGooRuns(const LayerRun* runs, std::size_t count, std::vector<std::uint8_t>& out);
// The inverted byte sum a layer record carries after its chunks.
std::uint8_t gooChecksum(const std::uint8_t* chunks, std::size_t size);
// Decodes chunks into exactly count pixels; false with the reason (a phrase) when they do not
// cover the image exactly, or hold a run of length 0 or a grey out of range.
bool decodeGooLayer(const std::uint8_t* chunks, std::size_t size, std::uint8_t* pixels,
    std::size_t count, std::string& why);

// RGB888 to the big-endian RGB565 the previews are stored in, and back.
std::vector<std::uint8_t> gooPreviewBytes(const RgbImage& image);
RgbImage gooPreviewImage(const std::uint8_t* bytes, int width, int height);

#endif
