// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_HOSTCATALOG_H
#define AGENT_HOSTCATALOG_H

#include "hostdiscovery.h"
#include "profile.h"

#include <vector>

// The printer list with the discovered hosts after the built-in and configured printers. A host
// already listed at its address and port (the printers file names it) keeps that record and its
// profiles. Any other host gets the profiles of the built-in printer class whose model matches
// the one it reports (case does not matter), or else a generic set: the 4K panel's profiles.
std::vector<Printer> withDiscoveredHosts(
    std::vector<Printer> printers, const std::vector<DiscoveredHost>& hosts);

#endif
