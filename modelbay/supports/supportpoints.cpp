// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "supportpoints.h"
#include "meshgrid.h"
#include "supportprogress.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace {

constexpr std::size_t kStep = 1 << 16; // triangles between progress reports

// Corners of the soup that lie on the same spot become one vertex, so that each corner knows
// its neighbours along the edges. An open-addressing table on the exact coordinates: files
// written by modelling programs repeat a shared corner bit for bit.
class Welder {
public:
    explicit Welder(std::size_t corners)
    {
        std::size_t capacity = 16;
        while (capacity < corners * 2)
            capacity *= 2;
        m_mask = capacity - 1;
        m_slots.assign(capacity, 0);
        m_positions.reserve(corners / 2 * 3);
    }

    std::uint32_t vertex(const float* p)
    {
        // +0.0f makes -0 and 0 the same key.
        const float key[3] = { p[0] + 0.0f, p[1] + 0.0f, p[2] + 0.0f };
        std::uint32_t bits[3];
        std::memcpy(bits, key, sizeof bits);
        std::uint64_t h = bits[0] * 0x9E3779B97F4A7C15ull;
        h ^= (h >> 29) ^ bits[1] * 0xBF58476D1CE4E5B9ull;
        h ^= (h >> 31) ^ bits[2] * 0x94D049BB133111EBull;
        h ^= h >> 32;
        for (std::size_t slot = std::size_t(h) & m_mask;; slot = (slot + 1) & m_mask) {
            const std::uint32_t stored = m_slots[slot];
            if (stored == 0) {
                m_positions.insert(m_positions.end(), key, key + 3);
                m_slots[slot] = std::uint32_t(m_positions.size() / 3);
                return m_slots[slot] - 1;
            }
            if (std::memcmp(m_positions.data() + 3 * std::size_t(stored - 1), key, sizeof key) == 0)
                return stored - 1;
        }
    }

    const float* position(std::uint32_t vertex) const { return m_positions.data() + 3 * vertex; }
    std::size_t count() const { return m_positions.size() / 3; }

private:
    std::size_t m_mask = 0;
    std::vector<std::uint32_t> m_slots; // vertex + 1; 0 is empty
    std::vector<float> m_positions;
};

// z of the face normal of a triangle, the normal of unit length; 0 for a degenerate one.
double normalZ(const float* t)
{
    const double ax = t[3] - t[0], ay = t[4] - t[1], az = t[5] - t[2];
    const double bx = t[6] - t[0], by = t[7] - t[1], bz = t[8] - t[2];
    const double nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    return length > 0 ? nz / length : 0;
}

// Accepted points, found by their column of the spacing grid, so that a new point close to an
// accepted one is left out.
class PointSet {
public:
    PointSet(std::vector<SupportPoint>& points, double spacing)
        : m_points(points)
        , m_spacing(spacing)
    {
    }

    // Whether a point lies within `radius` across and `height` up or down of (x, y, z); with a
    // `group`, only a point of the same group counts.
    bool near(
        double x, double y, double z, double radius, double height, std::int64_t group = -1) const
    {
        const int reach = int(std::ceil(radius / m_spacing));
        const std::int64_t cx = cell(x), cy = cell(y);
        for (std::int64_t i = cx - reach; i <= cx + reach; ++i) {
            for (std::int64_t j = cy - reach; j <= cy + reach; ++j) {
                const auto found = m_cells.find(key(i, j));
                if (found == m_cells.end())
                    continue;
                for (std::size_t index : found->second) {
                    if (group >= 0 && m_groups[index] != group)
                        continue;
                    const SupportPoint& p = m_points[index];
                    const double dx = p.x - x, dy = p.y - y;
                    if (dx * dx + dy * dy <= radius * radius && std::fabs(p.z - z) <= height)
                        return true;
                }
            }
        }
        return false;
    }

    void add(const SupportPoint& point, std::int64_t group = -1)
    {
        m_cells[key(cell(point.x), cell(point.y))].push_back(m_points.size());
        m_points.push_back(point);
        m_groups.push_back(group);
    }

private:
    std::int64_t cell(double v) const { return std::int64_t(std::floor(v / m_spacing)); }
    static std::int64_t key(std::int64_t i, std::int64_t j) { return i * 1000003 + j; }

    std::vector<SupportPoint>& m_points;
    std::vector<std::int64_t> m_groups; // per point
    double m_spacing;
    std::unordered_map<std::int64_t, std::vector<std::size_t>> m_cells;
};

struct Sample {
    std::int64_t column;
    float x, y, z;
};

} // namespace

double supportSpacingMm(const SupportSettings& settings)
{
    // density per cm², 100 mm² each.
    return 10.0 / std::sqrt(std::max(0.01, settings.density));
}

bool placeSupportPoints(const TriangleSoup& model, const MeshGrid& grid,
    const std::vector<IslandHint>& islands, const SupportSettings& settings,
    SupportProgress& progress, std::vector<SupportPoint>& points)
{
    const std::size_t count = model.size() / 9;
    const double spacing = supportSpacingMm(settings);
    const double pi = std::acos(-1.0);
    const double overhangZ = -std::sin(std::clamp(settings.overhangAngleDeg, 0.0, 90.0) * pi / 180);
    PointSet accepted(points, spacing);

    // Lowest points: a corner with no lower neighbour on a face that looks down.
    progress.stage(0, 40);
    Welder welder(count * 3);
    std::vector<std::uint32_t> corners(count * 3);
    constexpr std::uint32_t kLeftOut = 0xffffffffu; // the corners of an unusable triangle
    for (std::size_t t = 0; t < count; ++t) {
        const bool usable = usableTriangle(model.data() + 9 * t);
        for (int k = 0; k < 3; ++k)
            corners[3 * t + std::size_t(k)]
                = usable ? welder.vertex(model.data() + 9 * t + 3 * k) : kLeftOut;
        if (t % kStep == 0 && !progress.step(t, count))
            return false;
    }
    progress.stage(40, 55);
    std::vector<std::uint8_t> state(welder.count(), 0); // 1: looks down, 2: has a lower neighbour
    for (std::size_t t = 0; t < count; ++t) {
        const float* p = model.data() + 9 * t;
        if (corners[3 * t] == kLeftOut)
            continue;
        const bool down = normalZ(p) < 0;
        for (int k = 0; k < 3; ++k) {
            std::uint8_t& s = state[corners[3 * t + std::size_t(k)]];
            if (down)
                s |= 1;
            const float z = p[3 * k + 2];
            if (p[3 * ((k + 1) % 3) + 2] < z || p[3 * ((k + 2) % 3) + 2] < z)
                s |= 2;
        }
        if (t % kStep == 0 && !progress.step(t, count))
            return false;
    }
    // Lowest corners joined by a level edge lie on one flat bottom, which needs a point per
    // spacing; separate parts that hang side by side each need their own, however close.
    std::vector<std::uint32_t> flat(welder.count());
    for (std::uint32_t v = 0; v < flat.size(); ++v)
        flat[v] = v;
    auto root = [&](std::uint32_t v) {
        while (flat[v] != v)
            v = flat[v] = flat[flat[v]];
        return v;
    };
    for (std::size_t t = 0; t < count; ++t) {
        if (corners[3 * t] == kLeftOut)
            continue;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = corners[3 * t + std::size_t(k)];
            const std::uint32_t b = corners[3 * t + std::size_t((k + 1) % 3)];
            if (state[a] == 1 && state[b] == 1 && welder.position(a)[2] == welder.position(b)[2])
                flat[std::max(root(a), root(b))] = std::min(root(a), root(b));
        }
    }
    std::vector<std::uint32_t> lowest;
    for (std::uint32_t v = 0; v < state.size(); ++v) {
        if (state[v] == 1)
            lowest.push_back(v);
    }
    // Lowest first, so that on a flat bottom the points spread from one corner.
    std::sort(lowest.begin(), lowest.end(), [&](std::uint32_t a, std::uint32_t b) {
        return welder.position(a)[2] < welder.position(b)[2];
    });
    for (std::uint32_t v : lowest) {
        const float* p = welder.position(v);
        const std::int64_t group = root(v);
        if (!accepted.near(p[0], p[1], p[2], spacing * 0.999, spacing, group))
            accepted.add({ p[0], p[1], p[2], SupportPoint::Reason::LowestPoint }, group);
    }

    // Overhangs: grid points (i, j) * spacing under each face that looks down too steeply.
    progress.stage(55, 85);
    std::vector<Sample> samples;
    for (std::size_t t = 0; t < count; ++t) {
        const float* p = model.data() + 9 * t;
        if (t % kStep == 0 && !progress.step(t, count))
            return false;
        if (corners[3 * t] == kLeftOut || normalZ(p) >= overhangZ)
            continue;
        const double x0 = std::min({ p[0], p[3], p[6] }), x1 = std::max({ p[0], p[3], p[6] });
        const double y0 = std::min({ p[1], p[4], p[7] }), y1 = std::max({ p[1], p[4], p[7] });
        const double ax = p[0], ay = p[1], bx = p[3], by = p[4], cx = p[6], cy = p[7];
        const double det = (bx - ax) * (cy - ay) - (cx - ax) * (by - ay);
        for (std::int64_t i = std::int64_t(std::ceil(x0 / spacing)); i * spacing <= x1; ++i) {
            for (std::int64_t j = std::int64_t(std::ceil(y0 / spacing)); j * spacing <= y1; ++j) {
                const double x = double(i) * spacing, y = double(j) * spacing;
                const double u = ((x - ax) * (cy - ay) - (cx - ax) * (y - ay)) / det;
                const double v = ((bx - ax) * (y - ay) - (x - ax) * (by - ay)) / det;
                if (u < 0 || v < 0 || u + v > 1)
                    continue;
                const double z = p[2] + u * (p[5] - p[2]) + v * (p[8] - p[2]);
                samples.push_back({ i * 2000003 + j, float(x), float(y), float(z) });
            }
        }
    }
    // One point per surface over a grid point: faces that share an edge through it give the
    // same point twice.
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) {
        return a.column != b.column ? a.column < b.column : a.z < b.z;
    });
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        if (i > 0 && samples[i - 1].column == s.column && s.z - samples[i - 1].z < spacing / 2)
            continue;
        if (!accepted.near(s.x, s.y, s.z, spacing / 2, spacing / 2))
            accepted.add({ s.x, s.y, s.z, SupportPoint::Reason::Overhang });
    }

    // Islands no point holds yet. A point a spacing away may hold a neighbouring region only,
    // so only a point within the island's own reach counts.
    progress.stage(85, 100);
    for (std::size_t k = 0; k < islands.size(); ++k) {
        const IslandHint& island = islands[k];
        if (!progress.step(k, islands.size()))
            return false;
        const double reach = std::sqrt(std::max(0.0, island.areaMm2) / pi);
        if (accepted.near(island.x, island.y, island.z, reach + settings.contactDiameterMm, 1.0))
            continue;
        // Mostly the centroid lies on the island: the downward face right above it, between
        // the layer below and the island's layer, is where the island begins.
        double hit;
        bool facingUp = true;
        if (grid.castUp(island.x, island.y, island.z - 1.0, hit, &facingUp) && !facingUp
            && hit <= island.z) {
            accepted.add(
                { float(island.x), float(island.y), float(hit), SupportPoint::Reason::Island });
            continue;
        }
        // A ring or a crescent has its centroid off itself: the lowest corner of a downward
        // face around it, at the island's height.
        const double radius = reach + spacing;
        const float* best = nullptr;
        grid.forEachNear(island.x, island.y, radius, [&](std::uint32_t t) {
            const float* p = model.data() + 9 * std::size_t(t);
            if (normalZ(p) >= 0)
                return;
            for (int c = 0; c < 3; ++c) {
                const float* corner = p + 3 * c;
                const double dx = corner[0] - island.x, dy = corner[1] - island.y;
                if (dx * dx + dy * dy > radius * radius || corner[2] > island.z
                    || corner[2] < island.z - 1.0)
                    continue;
                if (!best || corner[2] < best[2])
                    best = corner;
            }
        });
        if (best)
            accepted.add({ best[0], best[1], best[2], SupportPoint::Reason::Island });
    }
    return progress.step(1, 1);
}
