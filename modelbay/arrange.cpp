// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "arrange.h"

#include <QtGlobal>

#include <algorithm>
#include <numeric>

namespace {

// A hair of slack, so that footprints exactly as wide as the room left still fit.
constexpr qreal kSlack = 1e-6;

struct Shelf {
    qreal y; // front edge, from the block's front
    qreal depth;
    qreal used; // width taken, from the block's left
};

} // namespace

QVector<QPointF> arrangeFootprints(const QVector<QSizeF>& footprints, qreal plateWidth,
    qreal plateDepth, qreal gap, QVector<int>* leftOut)
{
    QVector<QPointF> centres(footprints.size());
    QVector<bool> placed(footprints.size(), false);
    QVector<int> order(footprints.size());
    std::iota(order.begin(), order.end(), 0);
    // Deepest first keeps each shelf's wasted depth small, and every later footprint no deeper
    // than the shelves before it; ties keep the given order.
    std::stable_sort(order.begin(), order.end(), [&footprints](int a, int b) {
        return footprints.at(a).height() > footprints.at(b).height();
    });

    QVector<Shelf> shelves;
    for (int index : qAsConst(order)) {
        const QSizeF size = footprints.at(index);
        if (size.width() > plateWidth + kSlack || size.height() > plateDepth + kSlack)
            continue;
        Shelf* shelf = nullptr;
        for (Shelf& candidate : shelves) {
            if (candidate.used + gap + size.width() <= plateWidth + kSlack) {
                shelf = &candidate;
                break;
            }
        }
        if (!shelf) {
            const qreal y = shelves.isEmpty() ? 0.0 : shelves.last().y + shelves.last().depth + gap;
            if (y + size.height() > plateDepth + kSlack)
                continue;
            shelves.append({ y, size.height(), -gap });
            shelf = &shelves.last();
        }
        const qreal left = shelf->used + gap;
        centres[index] = QPointF(left + size.width() / 2.0, shelf->y + size.height() / 2.0);
        shelf->used = left + size.width();
        placed[index] = true;
    }

    qreal blockWidth = 0.0;
    for (const Shelf& shelf : qAsConst(shelves))
        blockWidth = std::max(blockWidth, shelf.used);
    const qreal blockDepth = shelves.isEmpty() ? 0.0 : shelves.last().y + shelves.last().depth;
    const QPointF shift(-blockWidth / 2.0, -blockDepth / 2.0);
    // What does not fit waits in a row right of the plate, front to back.
    qreal waitingY = -plateDepth / 2.0;
    for (int index = 0; index < footprints.size(); ++index) {
        if (placed.at(index)) {
            centres[index] += shift;
            continue;
        }
        const QSizeF size = footprints.at(index);
        centres[index]
            = QPointF(plateWidth / 2.0 + gap + size.width() / 2.0, waitingY + size.height() / 2.0);
        waitingY += size.height() + gap;
        if (leftOut)
            leftOut->append(index);
    }
    return centres;
}

QPointF placeBeside(const QSizeF& footprint, const QVector<QRectF>& others, qreal plateWidth,
    qreal plateDepth, qreal gap, bool* fits)
{
    const QRectF plate(-plateWidth / 2.0, -plateDepth / 2.0, plateWidth, plateDepth);
    const qreal w = footprint.width();
    const qreal d = footprint.height();
    const auto free = [&](const QPointF& centre) {
        QRectF rect(QPointF(), footprint);
        rect.moveCenter(centre);
        if (!plate.adjusted(-kSlack, -kSlack, kSlack, kSlack).contains(rect))
            return false;
        // Closer than the gap counts as touching; a hair less, so that exactly a gap is fine.
        const qreal margin = gap - 1e-3;
        const QRectF grown = rect.adjusted(-margin, -margin, margin, margin);
        for (const QRectF& other : others) {
            if (grown.intersects(other))
                return false;
        }
        return true;
    };
    // A free spot can always slide until it touches an edge or lies a gap from a neighbour on
    // each axis; these are the positions along x and y where that happens.
    QVector<qreal> xs { 0.0, plate.left() + w / 2.0, plate.right() - w / 2.0 };
    QVector<qreal> ys { 0.0, plate.bottom() - d / 2.0, plate.top() + d / 2.0 };
    qreal rightmost = plate.right();
    for (const QRectF& other : others) {
        rightmost = std::max(rightmost, other.right());
        xs << other.center().x() << other.right() + gap + w / 2.0 << other.left() - gap - w / 2.0;
        ys << other.center().y() << other.bottom() + gap + d / 2.0 << other.top() - gap - d / 2.0;
    }
    QPointF best;
    qreal bestDistance = -1.0;
    for (qreal x : qAsConst(xs)) {
        for (qreal y : qAsConst(ys)) {
            const QPointF candidate(x, y);
            const qreal distance = QPointF::dotProduct(candidate, candidate);
            if ((bestDistance < 0.0 || distance < bestDistance) && free(candidate)) {
                best = candidate;
                bestDistance = distance;
            }
        }
    }
    if (fits)
        *fits = bestDistance >= 0.0;
    // Too large for an empty plate, it stays in the middle, where its overhang shows best.
    if (bestDistance < 0.0)
        return others.isEmpty() ? QPointF() : QPointF(rightmost + gap + w / 2.0, 0.0);
    return best;
}
