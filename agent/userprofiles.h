// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_USERPROFILES_H
#define AGENT_USERPROFILES_H

#include "profile.h"

#include <string>
#include <utility>
#include <vector>

// Profiles people make for a printer: one of its profiles with other exposure and motion values,
// under a name of their own. They are kept in one file of the agent's data folder, by the
// printer's address, and join that printer's profiles, so a slicing request names them by their
// ProfileID like any other.
struct UserProfile {
    std::string printer; // "address:port"
    Profile profile; // userMade
};

// A missing file is no profiles and no error; a damaged one is refused with a sentence.
bool readUserProfiles(
    const std::string& path, std::vector<UserProfile>& profiles, std::string& error);
// Replaces the file whole (a temporary file renamed over it): never half written.
bool writeUserProfiles(
    const std::string& path, const std::vector<UserProfile>& profiles, std::string& error);

// Adds the user profiles to their printers, after the printers' own. One whose ProfileID the
// printer has come to use for a profile of its own is left out.
void addUserProfiles(std::vector<Printer>& printers, const std::vector<UserProfile>& profiles);

// The base profile with the given values (keys as in the printers file: "Exposure",
// "LiftSpeed", ...) under a title of the user's own. False and a sentence when a key is not one
// a user profile may change, a value is no number or out of range, or the title is unusable.
bool makeUserProfile(const Profile& base, const std::string& title,
    const std::vector<std::pair<std::string, std::string>>& values, Profile& profile,
    std::string& error);

// Puts the profile into the list for this printer (whose profiles include its user profiles):
// it replaces the user profile of the same title, keeping its ProfileID, or comes in with a
// ProfileID the printer does not use. False and a sentence when the title is one of the printer's
// own profiles, or the printer has as many user profiles as it may.
bool storeUserProfile(std::vector<UserProfile>& profiles, const Printer& printer, Profile& profile,
    std::string& error);

// Takes the printer's user profile with this ProfileID out of the list; false when there is none.
bool removeUserProfile(
    std::vector<UserProfile>& profiles, const std::string& printer, int profileId);

#endif
