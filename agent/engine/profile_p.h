// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PROFILE_P_H
#define AGENT_ENGINE_PROFILE_P_H

#include "profile.h"

#include <QJsonObject>

// The JSON record of a profile, as discovery, the printers file and "plate.json" carry it.
QJsonObject profileRecord(const Profile& profile);
// False with the reason (e.g. "it has no \"PixelsX\"") when the record is incomplete.
bool profileFromRecord(const QJsonObject& record, Profile& profile, std::string& why);

// How a printer's platform moves between layers; every profile of the printer shares it.
struct PlatformMotion {
    double bottomLiftMm, bottomLiftSpeed; // mm, mm/min
    double liftMm, liftSpeed;
    double retractSpeed; // bottom and normal layers alike
    int transitionLayers;
    double waitAfterRetractS;
};
void setPlatformMotion(std::vector<Profile>& profiles, const PlatformMotion& motion);

#endif
