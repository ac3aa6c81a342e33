// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile.h"

std::vector<Printer> builtinPrinters() { return {}; }

bool readPrintersFile(const std::string &, std::vector<Printer> &printers, std::string &)
{
    printers.clear();
    return true;
}

std::string printersDocument(const std::vector<Printer> &) { return "{\"printers_array\":[]}"; }

std::string profilesDocument(const std::vector<Profile> &) { return "[]"; }
