// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_JOBFILE_H
#define AGENT_ENGINE_JOBFILE_H

#include "jobformat.h"

#include <string>

// A job file is a zip without ZIP64, which holds at most 65535 entries; five of them are not
// layer images (two ini files, two thumbnails and "plate.json").
constexpr int kMostJobFileLayers = 65535 - 5;

// The SL1-style zip behind the job writer interface: it stores the slicer's layer PNGs as they are.
std::unique_ptr<JobWriter> makeSl1Writer(const JobFormat& format);
// Its reader (in sl1reader.cpp): settings from config.ini and prusaslicer.ini, layers sorted by
// name.
std::unique_ptr<JobReader> makeSl1Reader();

// The format a job's printer reads (an empty id is "sl1"), in the given file version (0: the
// format's usual one); false with a sentence when the agent does not write it.
bool jobFormatOf(const std::string& formatId, int version, JobFormat& format, std::string& error);

// Packs the sliced job in jobDir (which holds "plate.json") into one job file at outPath, in the
// format its printer reads (SL1 zip: config.ini, prusaslicer.ini, layer PNGs named jobDir + five
// digits, thumbnails, plus our "plate.json"), written atomically. False with one plain sentence
// on failure.
bool writeJobFile(const std::string& jobDir, const std::string& outPath, std::string& error);

// The same job file, complete and on disk, in a new file beside outPath (outPath +
// ".part-XXXXXX", given in temporaryPath) for the caller to name with the format's extension
// (".sl1", ".goo", ...); false and one sentence on failure, with nothing left behind.
bool packJobFile(const std::string& jobDir, const std::string& outPath, std::string& temporaryPath,
    std::string& extension, std::string& error);

#endif
