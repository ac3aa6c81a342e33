// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_ARRANGE_H
#define MODELBAY_ARRANGE_H

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QVector>

// Footprints (x by y, millimetres) packed in shelves: the deepest first, each into the first
// shelf with room left in the plate's width, a new shelf behind while the plate's depth allows,
// a gap between neighbours; the packed block is then centred on the plate. Gives each
// footprint's centre, in the order given. Footprints that do not fit are lined up beyond the
// plate's right edge, clear of the plate and of each other, and their indexes (ascending) go to
// `leftOut`.
QVector<QPointF> arrangeFootprints(const QVector<QSizeF>& footprints, qreal plateWidth,
    qreal plateDepth, qreal gap = 5.0, QVector<int>* leftOut = nullptr);

// Where a new footprint goes among those already on the plate, without moving them: the free
// spot nearest the plate's centre that lies on the plate and keeps the gap to every other. The
// spots tried touch the plate's edges or lie a gap away from another footprint's side, or line
// up with another's middle, which finds a free spot wherever one exists. When none does, right
// of everything (beyond the plate, so that the outside check names it) and `fits` turns false.
// Gives its centre.
QPointF placeBeside(const QSizeF& footprint, const QVector<QRectF>& others, qreal plateWidth,
    qreal plateDepth, qreal gap = 5.0, bool* fits = nullptr);

#endif
