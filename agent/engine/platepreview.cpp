// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platepreview.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kSamples = 2; // per axis and picture pixel
constexpr float kBackground[3] = { 32, 34, 38 };
constexpr float kResin[3] = { 255, 196, 90 };
constexpr float kAmbient = 0.3f;

struct Vec {
    float x, y, z;
};

// Model coordinates to view coordinates: x right, y up, z towards the viewer.
struct Camera {
    float cosYaw, sinYaw, cosTilt, sinTilt;
    Vec operator()(const float* p) const
    {
        const float x = p[0] * cosYaw - p[1] * sinYaw;
        const float y = p[0] * sinYaw + p[1] * cosYaw;
        return { x, p[2] * cosTilt + y * sinTilt, -y * cosTilt + p[2] * sinTilt };
    }
};

Camera cameraFor(PreviewView view)
{
    // From above; or turned 30 degrees and looking down at 35 degrees from the front right.
    const float yaw = view == PreviewView::Top ? 0.f : -0.5236f;
    const float elevation = view == PreviewView::Top ? 1.5708f : 0.6109f;
    return { std::cos(yaw), std::sin(yaw), std::cos(elevation), std::sin(elevation) };
}

} // namespace

RgbImage renderPlatePreview(
    const std::vector<const Mesh*>& meshes, PreviewView view, int width, int height)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    for (std::size_t i = 0; i < image.rgb.size(); ++i)
        image.rgb[i] = std::uint8_t(kBackground[i % 3]);
    if (width <= 0 || height <= 0)
        return image;

    const Camera camera = cameraFor(view);
    float lo[2] = { std::numeric_limits<float>::max(), std::numeric_limits<float>::max() };
    float hi[2] = { -lo[0], -lo[1] };
    for (const Mesh* mesh : meshes) {
        for (std::size_t i = 0; i + 2 < mesh->xyz.size(); i += 3) {
            const Vec v = camera(&mesh->xyz[i]);
            lo[0] = std::min(lo[0], v.x);
            hi[0] = std::max(hi[0], v.x);
            lo[1] = std::min(lo[1], v.y);
            hi[1] = std::max(hi[1], v.y);
        }
    }
    if (hi[0] < lo[0])
        return image;

    // Frame the models with a margin, keeping their proportions.
    const int w = width * kSamples, h = height * kSamples;
    const float extent = std::max({ hi[0] - lo[0], hi[1] - lo[1], 1e-3f });
    const float margin = 0.08f * extent;
    const float scale
        = std::min(w / (hi[0] - lo[0] + 2 * margin), h / (hi[1] - lo[1] + 2 * margin));
    const float centreX = (lo[0] + hi[0]) / 2, centreY = (lo[1] + hi[1]) / 2;
    std::vector<float> depth(std::size_t(w) * std::size_t(h), -std::numeric_limits<float>::max());
    std::vector<float> shade(depth.size(), -1.f);
    const Vec light = { -0.35f / 0.994f, 0.55f / 0.994f, 0.75f / 0.994f };

    for (const Mesh* mesh : meshes) {
        for (std::size_t t = 0; t + 8 < mesh->xyz.size(); t += 9) {
            Vec p[3];
            for (int k = 0; k < 3; ++k) {
                const Vec v = camera(&mesh->xyz[t + std::size_t(3 * k)]);
                // Picture samples: x right, y down.
                p[k]
                    = { (v.x - centreX) * scale + w / 2.f, h / 2.f - (v.y - centreY) * scale, v.z };
            }
            // The face's normal in view space, from the unscaled triangle; both sides are lit
            // alike, so the winding of a model's triangles does not matter.
            const Vec a = camera(&mesh->xyz[t]), b = camera(&mesh->xyz[t + 3]),
                      c = camera(&mesh->xyz[t + 6]);
            const Vec u = { b.x - a.x, b.y - a.y, b.z - a.z },
                      v = { c.x - a.x, c.y - a.y, c.z - a.z };
            Vec n = { u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x };
            const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            if (!(length > 0))
                continue;
            if (n.z < 0) // the side that faces the viewer
                n = { -n.x, -n.y, -n.z };
            const float lit = kAmbient
                + (1 - kAmbient)
                    * std::max(0.f, (n.x * light.x + n.y * light.y + n.z * light.z) / length);

            const float area
                = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
            if (area == 0)
                continue;
            const int x0 = std::max(0, int(std::floor(std::min({ p[0].x, p[1].x, p[2].x }))));
            const int x1 = std::min(w - 1, int(std::ceil(std::max({ p[0].x, p[1].x, p[2].x }))));
            const int y0 = std::max(0, int(std::floor(std::min({ p[0].y, p[1].y, p[2].y }))));
            const int y1 = std::min(h - 1, int(std::ceil(std::max({ p[0].y, p[1].y, p[2].y }))));
            for (int y = y0; y <= y1; ++y) {
                const float sy = y + 0.5f;
                for (int x = x0; x <= x1; ++x) {
                    const float sx = x + 0.5f;
                    // Barycentric weights; a sample is inside when all three share the area's sign.
                    const float w0
                        = ((p[1].x - sx) * (p[2].y - sy) - (p[2].x - sx) * (p[1].y - sy)) / area;
                    const float w1
                        = ((p[2].x - sx) * (p[0].y - sy) - (p[0].x - sx) * (p[2].y - sy)) / area;
                    const float w2 = 1 - w0 - w1;
                    if (w0 < 0 || w1 < 0 || w2 < 0)
                        continue;
                    const float z = w0 * p[0].z + w1 * p[1].z + w2 * p[2].z;
                    const std::size_t at = std::size_t(y) * std::size_t(w) + std::size_t(x);
                    if (z > depth[at]) {
                        depth[at] = z;
                        shade[at] = lit;
                    }
                }
            }
        }
    }

    // Each picture pixel is the mean of its samples.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float sum[3] = {};
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const float s = shade[std::size_t(y * kSamples + sy) * std::size_t(w)
                        + std::size_t(x * kSamples + sx)];
                    for (int k = 0; k < 3; ++k)
                        sum[k] += s < 0 ? kBackground[k] : kResin[k] * s;
                }
            }
            std::uint8_t* out
                = image.rgb.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
            for (int k = 0; k < 3; ++k)
                out[k] = std::uint8_t(std::lround(sum[k] / (kSamples * kSamples)));
        }
    }
    return image;
}
