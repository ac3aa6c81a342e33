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
