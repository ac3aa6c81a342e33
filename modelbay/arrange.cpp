// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "arrange.h"

#include <QtGlobal>

#include <algorithm>
#include <numeric>

QVector<QPointF> arrangeFootprints(
    const QVector<QSizeF>& footprints, qreal plateWidth, qreal plateDepth, qreal gap)
{
    Q_UNUSED(plateDepth) // the block is centred; depth only decides what counts as outside
    QVector<QPointF> centres(footprints.size());
    if (footprints.isEmpty())
        return centres;

    QVector<int> order(footprints.size());
    std::iota(order.begin(), order.end(), 0);
    // Deepest first keeps each shelf's wasted depth small; ties keep the given order.
    std::stable_sort(order.begin(), order.end(), [&footprints](int a, int b) {
        return footprints.at(a).height() > footprints.at(b).height();
    });

    qreal shelfY = 0.0; // front edge of the current shelf, growing towards +y
    qreal shelfDepth = 0.0;
    qreal x = 0.0;
    qreal blockWidth = 0.0;
    for (int index : qAsConst(order)) {
        const QSizeF size = footprints.at(index);
        if (x > 0.0 && x + size.width() > plateWidth) {
            shelfY += shelfDepth + gap;
            shelfDepth = 0.0;
            x = 0.0;
        }
        centres[index] = QPointF(x + size.width() / 2.0, shelfY + size.height() / 2.0);
        x += size.width() + gap;
        blockWidth = std::max(blockWidth, x - gap);
        shelfDepth = std::max(shelfDepth, size.height());
    }
    const qreal blockDepth = shelfY + shelfDepth;
    const QPointF shift(-blockWidth / 2.0, -blockDepth / 2.0);
    for (QPointF& centre : centres)
        centre += shift;
    return centres;
}

QPointF placeBeside(const QSizeF& footprint, const QVector<QRectF>& others, qreal plateWidth,
    qreal plateDepth, qreal gap)
{
    if (others.isEmpty())
        return QPointF();
    const QRectF plate(-plateWidth / 2.0, -plateDepth / 2.0, plateWidth, plateDepth);
    const qreal w = footprint.width();
    const qreal d = footprint.height();
    const auto fits = [&](const QPointF& centre) {
        QRectF rect(QPointF(), footprint);
        rect.moveCenter(centre);
        if (!plate.contains(rect))
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
    QPointF best;
    qreal bestDistance = -1.0;
    qreal rightmost = others.first().right();
    for (const QRectF& other : others) {
        rightmost = std::max(rightmost, other.right());
        const QPointF middle = other.center();
        const QPointF candidates[] = {
            { other.right() + gap + w / 2.0, middle.y() },
            { middle.x(), other.bottom() + gap + d / 2.0 },
            { other.left() - gap - w / 2.0, middle.y() },
            { middle.x(), other.top() - gap - d / 2.0 },
        };
        for (const QPointF& candidate : candidates) {
            const qreal distance = QPointF::dotProduct(candidate, candidate);
            if ((bestDistance < 0.0 || distance < bestDistance) && fits(candidate)) {
                best = candidate;
                bestDistance = distance;
            }
        }
    }
    if (bestDistance < 0.0)
        return QPointF(rightmost + gap + w / 2.0, 0.0);
    return best;
}
