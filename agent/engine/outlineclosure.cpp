// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "outlineclosure.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::uint64_t bitsOf(double value)
{
    value += 0.0; // -0 and +0 are the same point
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

void OutlineClosure::count(double x, double y, int step)
{
    const std::size_t mask = m_slots.size() - 1;
    std::uint64_t hash = bitsOf(x) * 0x9E3779B97F4A7C15ull ^ bitsOf(y) * 0xC2B2AE3D27D4EB4Full;
    hash ^= hash >> 29;
    for (std::size_t slot = std::size_t(hash) & mask;; slot = (slot + 1) & mask) {
        if (!m_used[slot]) {
            m_used[slot] = 1;
            m_usedSlots.push_back(slot);
            m_slots[slot] = { x, y, step };
            return;
        }
        if (m_slots[slot].x == x && m_slots[slot].y == y) {
            m_slots[slot].balance += step;
            return;
        }
    }
}

bool OutlineClosure::close(std::vector<Segment>& segments, std::size_t first, double tolerance)
{
    // Every segment's start counts +1 at its point and its end -1; the points of a closed outline
    // sum to 0.
    const std::size_t end = segments.size();
    std::size_t capacity = 64;
    while (capacity < 4 * (end - first))
        capacity *= 2;
    if (m_slots.size() < capacity) {
        m_slots.resize(capacity);
        m_used.assign(capacity, 0);
    }
    for (const std::size_t slot : m_usedSlots)
        m_used[slot] = 0;
    m_usedSlots.clear();
    for (std::size_t i = first; i < end; ++i) {
        count(segments[i].x0, segments[i].y0, 1);
        count(segments[i].x1, segments[i].y1, -1);
    }
    m_looseStarts.clear();
    m_looseEnds.clear();
    for (const std::size_t slot : m_usedSlots) {
        Point point = m_slots[slot];
        if (point.balance > 0) {
            m_looseStarts.push_back(point);
        } else if (point.balance < 0) {
            point.balance = -point.balance;
            m_looseEnds.push_back(point);
        }
    }
    if (m_looseStarts.empty() && m_looseEnds.empty())
        return true;

    // Loose starts sorted by x: each loose end looks only at those within the tolerance.
    std::sort(m_looseStarts.begin(), m_looseStarts.end(),
        [](const Point& a, const Point& b) { return a.x < b.x; });
    for (Point& loose : m_looseEnds) {
        while (loose.balance > 0) {
            auto from = std::lower_bound(m_looseStarts.begin(), m_looseStarts.end(),
                loose.x - tolerance, [](const Point& start, double x) { return start.x < x; });
            Point* nearest = nullptr;
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
    return std::none_of(m_looseStarts.begin(), m_looseStarts.end(),
        [](const Point& start) { return start.balance > 0; });
}
