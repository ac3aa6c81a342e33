// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTOPTIONS_H
#define MODELBAY_SUPPORTOPTIONS_H

#include "supportplan.h"

#include <QObject>

// The side panel's choices for supports, shared by the scene (which draws and exports them) and
// the generator (which places the points). Off draws no supports and exports the models as they
// stand on the plate; the points the user placed stay with the objects either way.
class SupportOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool automatic READ automatic WRITE setAutomatic NOTIFY changed)
    Q_PROPERTY(bool branching READ branching WRITE setBranching NOTIFY changed)
    Q_PROPERTY(qreal overhangAngle READ overhangAngle WRITE setOverhangAngle NOTIFY changed)
    Q_PROPERTY(qreal density READ density WRITE setDensity NOTIFY changed)
    Q_PROPERTY(qreal contactDiameter READ contactDiameter WRITE setContactDiameter NOTIFY changed)
    Q_PROPERTY(qreal shaftDiameter READ shaftDiameter WRITE setShaftDiameter NOTIFY changed)
    Q_PROPERTY(qreal lift READ lift WRITE setLift NOTIFY changed)
    Q_PROPERTY(qreal pad READ pad WRITE setPad NOTIFY changed)

public:
    explicit SupportOptions(QObject* parent = nullptr);

    bool automatic() const { return m_automatic; }
    bool branching() const { return m_settings.style == SupportSettings::Style::Branching; }
    qreal overhangAngle() const { return m_settings.overhangAngleDeg; }
    qreal density() const { return m_settings.density; }
    qreal contactDiameter() const { return m_settings.contactDiameterMm; }
    qreal shaftDiameter() const { return m_settings.shaftDiameterMm; }
    qreal lift() const { return m_settings.liftMm; }
    qreal pad() const { return m_settings.padMm; }

    void setAutomatic(bool automatic);
    void setBranching(bool branching);
    // Values outside what can be built (a negative diameter, an angle past a ceiling) are
    // brought to the nearest one that can.
    void setOverhangAngle(qreal degrees);
    void setDensity(qreal perCm2);
    void setContactDiameter(qreal mm);
    void setShaftDiameter(qreal mm);
    void setLift(qreal mm);
    void setPad(qreal mm);

    const SupportSettings& settings() const { return m_settings; }

signals:
    void changed();

private:
    void assign(double& field, double value);

    bool m_automatic = false;
    SupportSettings m_settings;
};

#endif
