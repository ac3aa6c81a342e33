// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfilename.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

std::string jobFileStem(std::string_view jobName)
{
    constexpr std::size_t longest = 64;
    std::string stem;
    for (const char c : jobName.substr(0, longest)) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '-' || c == '_' || c == '.';
        stem += kept ? c : '_';
    }
    if (stem.empty() || stem.front() == '.')
        stem.insert(0, "job");
    return stem;
}

bool publishJobFile(const std::string& temporaryPath, const std::string& folder,
    std::string_view jobName, const std::string& extension, std::string& path, std::string& error)
{
    const std::string stem = folder + "/" + jobFileStem(jobName);
    constexpr int attempts = 10000;
    for (int number = 1; number <= attempts; ++number) {
        path = stem + (number == 1 ? std::string() : "-" + std::to_string(number)) + extension;
        if (link(temporaryPath.c_str(), path.c_str()) == 0) {
            unlink(temporaryPath.c_str());
            return true;
        }
        if (errno != EEXIST) {
            error = "The agent cannot create a job file in " + folder + ": " + std::strerror(errno)
                + ".";
            return false;
        }
    }
    error = "The agent's download folder " + folder + " holds too many job files of this name.";
    return false;
}

void removeUnfinishedJobFiles(const std::string& folder)
{
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        const std::size_t part = name.rfind(".part-");
        const bool temporary = part != std::string::npos && name.size() == part + 12;
        const bool empty = name.size() > 4 && name.compare(name.size() - 4, 4, ".sl1") == 0
            && entry.is_regular_file(ignored) && entry.file_size(ignored) == 0;
        if ((temporary && entry.is_regular_file(ignored)) || empty)
            std::filesystem::remove(entry.path(), ignored);
    }
}
