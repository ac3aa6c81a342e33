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
            return entry.writer(format);
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
            && lower.compare(lower.size() - extension.size(), extension.size(), extension) == 0)
            return entry.reader();
    }
    return nullptr;
}
