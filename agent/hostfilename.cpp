// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostfilename.h"

namespace {

constexpr std::size_t longestName = 200;

bool endsWithExtension(std::string_view name, std::string_view extension)
{
    if (name.size() < extension.size())
        return false;
    const std::string_view tail = name.substr(name.size() - extension.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? char(tail[i] - 'A' + 'a') : tail[i];
        if (c != extension[i])
            return false;
    }
    return true;
}

} // namespace

std::string hostFileName(std::string_view jobName, std::string_view extension)
{
    std::string stem;
    for (const char c : jobName) {
        const auto byte = static_cast<unsigned char>(c);
        stem += (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7f) ? '_' : c;
    }
    if (endsWithExtension(stem, extension))
        stem.resize(stem.size() - extension.size());
    // Hosts hide names that start with a dot, and an empty stem would be only the extension.
    if (stem.empty() || stem.front() == '.')
        stem.insert(0, "job");
    const std::size_t room = longestName - extension.size();
    if (stem.size() > room) {
        std::size_t cut = room;
        // Back up over continuation bytes (10xxxxxx) so no character is split.
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xc0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return stem + std::string(extension);
}
