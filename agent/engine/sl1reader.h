// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_SL1READER_H
#define AGENT_ENGINE_SL1READER_H

#include "jobformat.h"

#include <map>
#include <string>

// The keys of an ini file ("key = value" lines); later lines win, comments and sections ignored.
std::map<std::string, std::string> parseIniText(const std::string& text);

#endif
