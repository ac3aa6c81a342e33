// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_JOBFILENAME_H
#define AGENT_JOBFILENAME_H

#include <string>
#include <string_view>

// A file name stem made from a job name: letters, digits, "-", "_" and "." kept, every other byte
// turned into "_", at most 64 bytes, never empty, never starting with ".".
std::string jobFileStem(std::string_view jobName);

// Claims a new file name in folder for a job file: stem + ".sl1", or stem-2.sl1, stem-3.sl1 ...
// when that is taken. The name is claimed by creating an empty file exclusively, so two downloads
// at once never get the same file; the job file writer then replaces it. False and one sentence
// when no name can be claimed.
bool claimJobFilePath(const std::string &folder, std::string_view jobName, std::string &path,
                      std::string &error);

#endif
