// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "stl.h"

bool parseStl(const unsigned char *, std::size_t, Mesh &, std::string &error)
{
    error = "The STL reader is not ready yet.";
    return false;
}

bool readStlFile(const std::string &, Mesh &, std::string &error)
{
    error = "The STL reader is not ready yet.";
    return false;
}
