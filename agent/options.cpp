// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include "slicerequest.h"

bool parseOptions(
    const std::vector<std::string>& arguments, AgentOptions& options, std::string& error)
{
    options = AgentOptions();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option != "--port" && option != "--data-dir" && option != "--host-answer-seconds") {
            error = "Unknown option \"" + option
                + "\" (the agent takes --port N and --data-dir DIR).";
            return false;
        }
        if (i + 1 == arguments.size()) {
            error = "The option " + option + " needs a value.";
            return false;
        }
        const std::string& value = arguments[++i];
        if (option == "--port") {
            if (!parseInteger(value, options.port) || options.port < 0 || options.port > 65535) {
                error = "The port must be a number from 0 to 65535.";
                return false;
            }
        } else if (option == "--host-answer-seconds") {
            if (!parseInteger(value, options.hostAnswerSeconds) || options.hostAnswerSeconds < 1
                || options.hostAnswerSeconds > 3600) {
                error = "The host answer time must be a number of seconds from 1 to 3600.";
                return false;
            }
        } else {
            if (value.empty() || value.front() != '/') {
                error = "The data folder must be an absolute path.";
                return false;
            }
            options.dataDir = value;
        }
    }
    return true;
}

std::string defaultDataFolder(const char* xdgDataHome, const char* home)
{
    // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
    if (xdgDataHome && xdgDataHome[0] == '/')
        return std::string(xdgDataHome) + "/corvane/agent";
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/corvane/agent";
    return {};
}
