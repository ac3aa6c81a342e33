// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_JOBFILENAME_H
#define AGENT_JOBFILENAME_H

#include <string>
#include <string_view>

// A file name stem made from a job name: letters, digits, "-", "_" and "." kept, every other byte
// turned into "_", at most 64 bytes, never empty, never starting with ".".
std::string jobFileStem(std::string_view jobName);

// Gives a finished job file (temporaryPath, in folder) its name: stem + extension (".sl1",
// ".goo", ...), or stem-2.sl1, stem-3.sl1 ... when that is taken. The name is taken by a hard link,
// which never replaces a file, so two downloads at once never get the same name, and a name in the
// folder always holds a whole job file. False and one sentence when no name can be taken; the
// temporary file stays.
bool publishJobFile(const std::string& temporaryPath, const std::string& folder,
    std::string_view jobName, const std::string& extension, std::string& path, std::string& error);

// The job files a download left unfinished when the agent was killed: temporary ".part-XXXXXX"
// files, and empty ".sl1" files that earlier agents made to hold a name.
void removeUnfinishedJobFiles(const std::string& folder);

#endif
