// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_RUNDEFLATE_H
#define AGENT_ENGINE_RUNDEFLATE_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Compresses bytes into a zlib stream (RFC 1950/1951) made only of runs: each run of one byte
// value becomes that byte as a literal followed by copies at distance 1, all in one block whose
// code table suits layer images (long runs of 0 and 255: 2 bits per 258 bytes). This does in one
// pass over the bytes what a general compressor spends most of a slicing job on; the Adler-32
// checksum is computed per run, not per byte. Any input is encoded correctly, only less compactly
// than a general compressor would where the data has no runs.
void runDeflate(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out);

#endif
