// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_HOSTFILENAME_H
#define AGENT_HOSTFILENAME_H

#include <string>
#include <string_view>

// The file name a job is stored under on a printer host: the job name with path separators and
// control characters turned into "_", ending in the job file's extension (".sl1", ".goo", ...;
// given with its dot), at most 200 bytes and cut only between
// whole UTF-8 characters. Printer hosts refuse names outside these rules, and a name with a "/"
// would land in another folder of the host.
std::string hostFileName(std::string_view jobName, std::string_view extension = ".sl1");

#endif
