// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import Qt3D.Core 2.12

// The plate's 10 mm grid, its outline, the printable volume's edges and the
// axes at the plate's centre (x red, y green, z blue).
Entity {
    id: grid

    property real plateWidth: 100
    property real plateDepth: 60
    property real plateHeight: 100

    readonly property real lift: 0.03

    function gridLines() {
        const w = plateWidth / 2;
        const d = plateDepth / 2;
        const lines = [];
        for (let x = 10; x < w; x += 10)
            lines.push(x, -d, lift, x, d, lift, -x, -d, lift, -x, d, lift);
        for (let y = 10; y < d; y += 10)
            lines.push(-w, y, lift, w, y, lift, -w, -y, lift, w, -y, lift);
        return lines;
    }

    function volumeEdges() {
        const w = plateWidth / 2;
        const d = plateDepth / 2;
        const h = plateHeight;
        const corners = [[-w, -d], [w, -d], [w, d], [-w, d]];
        const lines = [];
        for (let i = 0; i < 4; ++i) {
            const a = corners[i];
            const b = corners[(i + 1) % 4];
            lines.push(a[0], a[1], lift, b[0], b[1], lift);
            lines.push(a[0], a[1], h, b[0], b[1], h);
            lines.push(a[0], a[1], lift, a[0], a[1], h);
        }
        return lines;
    }

    LineSet {
        segments: grid.gridLines()
        color: "#6b7886"
    }
    LineSet {
        segments: grid.volumeEdges()
        color: "#a9b6c3"
    }
    LineSet {
        segments: [0, 0, grid.lift, 15, 0, grid.lift]
        color: "#e0453a"
    }
    LineSet {
        segments: [0, 0, grid.lift, 0, 15, grid.lift]
        color: "#46c35a"
    }
    LineSet {
        segments: [0, 0, grid.lift, 0, 0, 15]
        color: "#4a8ef0"
    }
}
