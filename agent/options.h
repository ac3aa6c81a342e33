// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_OPTIONS_H
#define AGENT_OPTIONS_H

#include <string>
#include <vector>

// The desktop program starts the agent without arguments; the options exist for tests, which run
// several agents side by side, each on a port and in a data folder of its own.
struct AgentOptions {
    int port = 18383; // --port N; 0 lets the system choose a free port
    std::string dataDir; // --data-dir DIR; empty means the default data folder
    // --host-answer-seconds N: how long a printer host may take to answer an upload, 60 s unless
    // a test needs it short.
    int hostAnswerSeconds = 60;
};

// Reads the command-line arguments after the program name. False and one sentence when an
// option is unknown, lacks its value or has a bad one.
bool parseOptions(
    const std::vector<std::string>& arguments, AgentOptions& options, std::string& error);

// $XDG_DATA_HOME/corvane/agent when that variable holds an absolute path, else
// $HOME/.local/share/corvane/agent; empty when neither is known. Takes the variables' values so
// that the rule can be tested without touching the environment.
std::string defaultDataFolder(const char* xdgDataHome, const char* home);

#endif
