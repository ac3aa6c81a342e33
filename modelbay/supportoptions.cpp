// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "supportoptions.h"

#include <algorithm>
#include <cmath>

SupportOptions::SupportOptions(QObject* parent)
    : QObject(parent)
{
}

void SupportOptions::setAutomatic(bool automatic)
{
    if (m_automatic == automatic)
        return;
    m_automatic = automatic;
    emit changed();
}

void SupportOptions::setBranching(bool branching)
{
    const SupportSettings::Style style
        = branching ? SupportSettings::Style::Branching : SupportSettings::Style::Pillars;
    if (m_settings.style == style)
        return;
    m_settings.style = style;
    emit changed();
}

void SupportOptions::setOverhangAngle(qreal degrees)
{
    assign(m_settings.overhangAngleDeg, std::clamp(degrees, 0.0, 89.0));
}

void SupportOptions::setDensity(qreal perCm2)
{
    // At least one point per 10 cm², at most one per 0.01 cm² (a millimetre apart).
    assign(m_settings.density, std::clamp(perCm2, 0.1, 100.0));
}

void SupportOptions::setContactDiameter(qreal mm)
{
    assign(m_settings.contactDiameterMm, std::clamp(mm, 0.1, 5.0));
}

void SupportOptions::setShaftDiameter(qreal mm)
{
    assign(m_settings.shaftDiameterMm, std::clamp(mm, 0.2, 10.0));
}

void SupportOptions::setLift(qreal mm) { assign(m_settings.liftMm, std::clamp(mm, 0.0, 50.0)); }

void SupportOptions::setPad(qreal mm) { assign(m_settings.padMm, std::clamp(mm, 0.0, 10.0)); }

void SupportOptions::assign(double& field, double value)
{
    // NaN from a field that held no number keeps the value as it was.
    if (std::isnan(value) || field == value)
        return;
    field = value;
    emit changed();
}
