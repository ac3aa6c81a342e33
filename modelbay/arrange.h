// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_ARRANGE_H
#define MODELBAY_ARRANGE_H

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QVector>

// Footprints (x by y, millimetres) packed in shelves: the deepest first, left to right, a new
// shelf behind when the plate's width is used up, a gap between neighbours; the packed block is
// then centred on the plate. Gives each footprint's centre, in the order given. Footprints that
// do not fit are still placed (beyond the plate), so the outside check can name them.
QVector<QPointF> arrangeFootprints(
    const QVector<QSizeF>& footprints, qreal plateWidth, qreal plateDepth, qreal gap = 5.0);

// Where a new footprint goes beside those already on the plate, without moving them: the spot
// nearest the plate's centre, right of, behind, left of or in front of one of them (a gap
// away), that lies on the plate and keeps the gap to every other. When no such spot exists, right
// of everything (beyond the plate, so that the outside check names it). Gives its centre.
QPointF placeBeside(const QSizeF& footprint, const QVector<QRectF>& others, qreal plateWidth,
    qreal plateDepth, qreal gap = 5.0);

#endif
