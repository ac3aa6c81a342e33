// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_ISLANDLIST_H
#define MODELBAY_ISLANDLIST_H

#include "slicedplate.h"

#include <QObject>
#include <QString>
#include <QVariantList>

// The islands of the sliced job for the layer preview and the support generator: one map per
// island, bottom layer first, with "layer", "x", "y" (plate mm), "areaMm2" and "height" (mm at
// the layer's top), and the preview's summary line. The job road sets the job it holds; the
// support generator takes the same value through plate().
class IslandList : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList islands READ islands NOTIFY loaded)
    Q_PROPERTY(QString summary READ summary NOTIFY loaded)
    // The layers that peel hard, one map each with "layer" and "height", bottom layer first.
    Q_PROPERTY(QVariantList peelWarnings READ peelWarnings NOTIFY loaded)

public:
    explicit IslandList(QObject* parent = nullptr);

    QVariantList islands() const { return m_islands; }
    QString summary() const { return m_summary; }
    QVariantList peelWarnings() const { return m_peelWarnings; }
    const SlicedPlate& plate() const { return m_plate; }
    void setPlate(const SlicedPlate& plate);

    // The islands of one layer, for the marks the preview draws on it.
    Q_INVOKABLE QVariantList islandsOfLayer(int layer) const;

signals:
    void loaded();

private:
    SlicedPlate m_plate;
    QVariantList m_islands;
    QString m_summary;
    QVariantList m_peelWarnings;
};

#endif
