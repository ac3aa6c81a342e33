// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobformat.h"
#include "goofile.h"
#include "jobfile.h"

#include <algorithm>
#include <cctype>

namespace {

// One row per format id. Formats that share a container share their writer and reader; the id
// and version tell them apart.
struct Entry {
    const char* id;
    const char* extension;
    int version;
    const char* title;
    std::unique_ptr<JobWriter> (*writer)(const JobFormat& format);
    std::unique_ptr<JobReader> (*reader)();
};

const Entry kEntries[] = {
    { "sl1", ".sl1", 0, "SL1 zip", makeSl1Writer, makeSl1Reader },
    { "sl1s", ".sl1s", 0, "SL1S zip", makeSl1Writer, makeSl1Reader },
    { "goo", ".goo", 3, "GOO", makeGooWriter, makeGooReader },
    { "prz", ".prz", 3, "GOO (Phrozen .prz)", makeGooWriter, makeGooReader },
    // Formats whose writer and reader are still to come: known, so printers can name them.
    { "ctb", ".ctb", 3, "CTB", nullptr, nullptr },
    { "pwmo", ".pwmo", 516, "Photon Workshop (Photon Mono)", nullptr, nullptr },
    { "pwms", ".pwms", 516, "Photon Workshop (Photon Mono SE)", nullptr, nullptr },
    { "pwmx", ".pwmx", 516, "Photon Workshop (Photon Mono X)", nullptr, nullptr },
    { "pmsq", ".pmsq", 516, "Photon Workshop (Photon Mono SQ)", nullptr, nullptr },
    { "dlp", ".dlp", 516, "Photon Workshop (Photon Ultra)", nullptr, nullptr },
    { "pwma", ".pwma", 516, "Photon Workshop (Photon Mono 4K)", nullptr, nullptr },
    { "pm3", ".pm3", 516, "Photon Workshop (Photon M3)", nullptr, nullptr },
    { "pm3m", ".pm3m", 516, "Photon Workshop (Photon M3 Max)", nullptr, nullptr },
    { "pwmb", ".pwmb", 516, "Photon Workshop (Photon Mono X 6K / M3 Plus)", nullptr, nullptr },
    { "dl2p", ".dl2p", 517, "Photon Workshop (Photon D2)", nullptr, nullptr },
    { "pmx2", ".pmx2", 517, "Photon Workshop (Photon Mono X2)", nullptr, nullptr },
    { "pm3r", ".pm3r", 517, "Photon Workshop (Photon M3 Premium)", nullptr, nullptr },
    { "pm3n", ".pm3n", 517, "Photon Workshop (Photon Mono 2)", nullptr, nullptr },
    { "pm5", ".pm5", 517, "Photon Workshop (Photon Mono M5)", nullptr, nullptr },
    { "px6s", ".px6s", 517, "Photon Workshop (Photon Mono X 6Ks)", nullptr, nullptr },
    { "pm5s", ".pm5s", 518, "Photon Workshop (Photon Mono M5s)", nullptr, nullptr },
    { "m5sp", ".m5sp", 518, "Photon Workshop (Photon Mono M5s Pro)", nullptr, nullptr },
    { "pm4n", ".pm4n", 516, "Photon Workshop (Photon Mono 4)", nullptr, nullptr },
    { "pws", ".pws", 1, "Photon Workshop (Photon S)", nullptr, nullptr },
    { "pw0", ".pw0", 1, "Photon Workshop (Photon Zero)", nullptr, nullptr },
    { "pwx", ".pwx", 1, "Photon Workshop (Photon X)", nullptr, nullptr },
};

JobFormat formatOf(const Entry& entry)
{
    return { entry.id, entry.extension, entry.version, entry.title };
}

} // namespace

bool findJobFormat(const std::string& id, JobFormat& format)
{
    for (const Entry& entry : kEntries) {
        if (id == entry.id) {
            format = formatOf(entry);
            return true;
        }
    }
    return false;
}

std::vector<JobFormat> jobFormats()
{
    std::vector<JobFormat> formats;
    for (const Entry& entry : kEntries)
        formats.push_back(formatOf(entry));
    return formats;
}

std::unique_ptr<JobWriter> makeJobWriter(const JobFormat& format)
{
    for (const Entry& entry : kEntries) {
        if (format.id == entry.id)
            return entry.writer ? entry.writer(format) : nullptr;
    }
    return nullptr;
}

std::unique_ptr<JobReader> makeJobReader(const std::string& path)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return char(std::tolower(c)); });
    for (const Entry& entry : kEntries) {
        const std::string extension = entry.extension;
        if (lower.size() > extension.size()
            && lower.compare(lower.size() - extension.size(), extension.size(), extension) == 0
            && entry.reader)
            return entry.reader();
    }
    return nullptr;
}
