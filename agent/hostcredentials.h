// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_HOSTCREDENTIALS_H
#define AGENT_HOSTCREDENTIALS_H

#include <map>
#include <string>

// How the agent proves itself to one printer host, from the optional keys "apiKey", "user",
// "password" and "storage" of its record in the printers file. These never leave the agent:
// the printer records it answers with are made without them.
struct HostCredentials {
    std::string apiKey; // sent as X-Api-Key
    std::string user; // with password: HTTP Digest
    std::string password;
    std::string storage = "local"; // the file API's storage the job goes to

    bool holdsSecret() const { return !apiKey.empty() || !password.empty(); }
};

// The credentials of every host of the printers file, by "ip:port". A missing or unreadable
// file gives none: the printer catalogue reports what is wrong with it.
std::map<std::string, HostCredentials> readHostCredentials(const std::string& printersFile);

// Empty, or one sentence when the printers file holds a key or password and users other than
// its owner may read it; the sentence gives the command that fixes it.
std::string exposedSecretsWarning(const std::string& printersFile);

#endif
