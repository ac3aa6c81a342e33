// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SLICEDPLATE_H
#define MODELBAY_SLICEDPLATE_H

#include "supportplan.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVector>

#include <vector>

// A cured region of a sliced job with nothing below it in the layer before.
struct SlicedIsland {
    int layer = 0; // counted from 0, bottom layer first
    double x = 0; // centroid on the plate, mm
    double y = 0;
    double areaMm2 = 0;
};

// What the window needs to know of a sliced job, read once from the "plate.json" the agent
// leaves in the job folder: the layer images by the names the document lists, the islands, the
// layers that peel hard and the estimates. Everything that shows or uses the job reads this one
// value, never the document again.
struct SlicedPlate {
    QString folder; // the job folder the document lies in; empty for no job
    bool valid = false; // false when the document is missing or is no plate document
    double layerHeightMm = 0;
    QStringList layerFiles; // file names in the folder, bottom layer first
    QVector<SlicedIsland> islands; // bottom layer first; perhaps only the lowest of islandCount
    int islandCount = -1; // -1: the job was sliced before islands were looked for
    QVector<int> peelWarningLayers;
    double usedMaterialMl = 0;
    double printTimeS = 0;
};

// The plate document's bytes as one value; an island record without a layer or a position is
// left out. `folder` is kept for the layer images.
SlicedPlate parseSlicedPlate(const QByteArray& plateJson, const QString& folder = QString());

// Reads "plate.json" in `folder`; a missing, oversized or broken document gives an invalid value.
SlicedPlate readSlicedPlate(const QString& folder);

// The image of a layer as a file URL, or an empty URL for a layer the document does not list.
QUrl layerImageUrl(const SlicedPlate& plate, int layer);

// One line for the preview: "3 islands, first at layer 41, 2.05 mm", "1 island at layer 7,
// 0.35 mm" or "No islands"; empty when the job was sliced before islands were looked for.
// Layers are counted from 1 there, as people and the layer slider count them, and a layer's
// height is that of its top.
QString islandSummary(const SlicedPlate& plate);

// What the window asks before a job with islands is saved or sent: "The job has 2 islands, the
// first at layer 281 (14.05 mm). Save it anyway?" (`sending`: "Send it anyway?"); empty when the
// job has no islands, or was sliced before they were looked for.
QString islandQuestion(const SlicedPlate& plate, bool sending);

// The islands for the support planner: each at the middle of the layer it appeared in (the
// layer's image is the cut through its middle). A job sliced with supports had the model lifted:
// `liftMm` takes the islands back to the model's own coordinates.
std::vector<IslandHint> islandHints(const SlicedPlate& plate, double liftMm = 0);

#endif
