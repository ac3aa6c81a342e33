// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfile.h"

bool writeJobFile(const std::string &, const std::string &, std::string &error)
{
    error = "The job file writer is not ready yet.";
    return false;
}
