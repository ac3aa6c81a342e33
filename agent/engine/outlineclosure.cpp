// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "outlineclosure.h"

#include <algorithm>
#include <cmath>

bool OutlineClosure::close(std::vector<Segment>& segments, std::size_t first, double tolerance)
{
    // Every segment's start counts +1 at its point and its end -1; points of a closed outline
    // sum to 0. Sorting the points brings the equal ones together without a hash of doubles.
    m_ends.clear();
    const std::size_t end = segments.size();
    for (std::size_t i = first; i < end; ++i) {
        m_ends.push_back({ segments[i].x0, segments[i].y0, 1 });
        m_ends.push_back({ segments[i].x1, segments[i].y1, -1 });
    }
    std::sort(m_ends.begin(), m_ends.end(),
        [](const End& a, const End& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    m_looseStarts.clear();
    m_looseEnds.clear();
    for (std::size_t i = 0; i < m_ends.size();) {
        End point = m_ends[i];
        int balance = 0;
        for (; i < m_ends.size() && m_ends[i].x == point.x && m_ends[i].y == point.y; ++i)
            balance += m_ends[i].balance;
        point.balance = std::abs(balance);
        if (balance > 0)
            m_looseStarts.push_back(point);
        else if (balance < 0)
            m_looseEnds.push_back(point);
    }
    if (m_looseStarts.empty() && m_looseEnds.empty())
        return true;

    // Loose starts are sorted by x: each loose end looks only at those within the tolerance.
    for (End& loose : m_looseEnds) {
        while (loose.balance > 0) {
            auto from = std::lower_bound(m_looseStarts.begin(), m_looseStarts.end(),
                loose.x - tolerance, [](const End& start, double x) { return start.x < x; });
            End* nearest = nullptr;
            double nearestDistance = tolerance * tolerance;
            for (auto start = from; start != m_looseStarts.end() && start->x <= loose.x + tolerance;
                 ++start) {
                const double dx = start->x - loose.x;
                const double dy = start->y - loose.y;
                const double distance = dx * dx + dy * dy;
                if (start->balance > 0 && distance <= nearestDistance) {
                    nearest = &*start;
                    nearestDistance = distance;
                }
            }
            if (!nearest)
                return false;
            segments.push_back({ loose.x, loose.y, nearest->x, nearest->y });
            --nearest->balance;
            --loose.balance;
        }
    }
    for (const End& start : m_looseStarts) {
        if (start.balance > 0)
            return false;
    }
    return true;
}
