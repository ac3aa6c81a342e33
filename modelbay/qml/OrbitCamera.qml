// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import Qt3D.Core 2.12
import Qt3D.Render 2.12

// A Z-up camera that circles a target point. Its position follows from three
// numbers through bindings only: nothing runs per frame, so an idle view asks
// for no new frame.
Camera {
    id: camera

    property vector3d target: Qt.vector3d(0, 0, 0)
    // Degrees: azimuth about +z from -y (looking at the plate's front), and
    // elevation above the plate.
    property real azimuth: 0
    property real elevation: 35
    property real distance: 300
    // Top, Front and Side look square on, without perspective: parallel
    // edges stay parallel and sizes can be compared across the view. Orbiting
    // brings the perspective back.
    property bool orthographic: false

    readonly property real azimuthRad: azimuth * Math.PI / 180
    readonly property real elevationRad: elevation * Math.PI / 180

    // The orthographic view shows as much as the perspective one does at the
    // target, so that switching keeps the plate the same size.
    readonly property real halfHeight: distance * Math.tan(fieldOfView * Math.PI / 360)

    projectionType: orthographic ? CameraLens.OrthographicProjection : CameraLens.PerspectiveProjection
    fieldOfView: 40
    // Square on, nothing lies behind the eye: the near plane may reach behind it.
    nearPlane: orthographic ? -distance * 20 : Math.max(0.5, distance / 200)
    farPlane: distance * 20
    top: halfHeight
    bottom: -halfHeight
    left: -halfHeight * aspectRatio
    right: halfHeight * aspectRatio
    upVector: Qt.vector3d(0, 0, 1)
    viewCenter: target
    position: Qt.vector3d(target.x + distance * Math.cos(elevationRad) * Math.sin(azimuthRad),
                          target.y - distance * Math.cos(elevationRad) * Math.cos(azimuthRad),
                          target.z + distance * Math.sin(elevationRad))

    function orbit(dAzimuth, dElevation) {
        orthographic = false;
        azimuth = (azimuth + dAzimuth) % 360;
        // Just short of the poles: straight down the up vector is degenerate.
        elevation = Math.max(-89, Math.min(89.9, elevation + dElevation));
    }

    function zoom(factor) {
        distance = Math.max(5, Math.min(5000, distance * factor));
    }

    // Moves the target in the view plane by a fraction of the visible height.
    function pan(dxPixels, dyPixels, viewHeight) {
        const visible = 2 * distance * Math.tan(fieldOfView * Math.PI / 360);
        const perPixel = visible / Math.max(1, viewHeight);
        const right = Qt.vector3d(Math.cos(azimuthRad), Math.sin(azimuthRad), 0);
        const up = Qt.vector3d(-Math.sin(elevationRad) * Math.sin(azimuthRad),
                               Math.sin(elevationRad) * Math.cos(azimuthRad),
                               Math.cos(elevationRad));
        target = target.minus(right.times(dxPixels * perPixel)).plus(up.times(dyPixels * perPixel));
    }

    // The ray from the eye through a pixel of the view, in world coordinates.
    function ray(x, y, viewWidth, viewHeight) {
        const inverse = projectionMatrix.times(viewMatrix).inverted();
        const ndcX = 2 * x / viewWidth - 1;
        const ndcY = 1 - 2 * y / viewHeight;
        const near = inverse.times(Qt.vector4d(ndcX, ndcY, -1, 1));
        const far = inverse.times(Qt.vector4d(ndcX, ndcY, 1, 1));
        const a = Qt.vector3d(near.x / near.w, near.y / near.w, near.z / near.w);
        const b = Qt.vector3d(far.x / far.w, far.y / far.w, far.z / far.w);
        return { origin: a, direction: b.minus(a) };
    }

    // The world point under a pixel of the view, on the plane z = height;
    // undefined when the ray runs parallel to it or away from it.
    function pointOnPlane(x, y, viewWidth, viewHeight, height) {
        const r = ray(x, y, viewWidth, viewHeight);
        if (Math.abs(r.direction.z) < 1e-9)
            return undefined;
        const t = (height - r.origin.z) / r.direction.z;
        if (t < 0)
            return undefined;
        return r.origin.plus(r.direction.times(t));
    }

    function showTop() { azimuth = 0; elevation = 89.9; orthographic = true; }
    function showFront() { azimuth = 0; elevation = 0; orthographic = true; }
    function showSide() { azimuth = 90; elevation = 0; orthographic = true; }
    function showIso() { azimuth = -35; elevation = 35; orthographic = false; }
}
