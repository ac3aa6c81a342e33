// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfilename.h"

#include <cerrno>
#include <cstring>
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

bool claimJobFilePath(const std::string &folder, std::string_view jobName, std::string &path,
                      std::string &error)
{
    const std::string stem = folder + "/" + jobFileStem(jobName);
    constexpr int attempts = 10000;
    for (int number = 1; number <= attempts; ++number) {
        path = stem + (number == 1 ? std::string() : "-" + std::to_string(number)) + ".sl1";
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            close(fd);
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
