// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQml 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import QtQuick.Scene3D 2.0
import Qt3D.Core 2.12
import Qt3D.Render 2.12
import Qt3D.Input 2.12
import Qt3D.Extras 2.12
import com.corvane.modelbay 1.0

// The build plate in 3D: Z up, the plate's centre at the origin, millimetres.
// Left drag on an object moves it on the plate, left drag elsewhere orbits,
// right or middle drag (or Shift+left) pans, the wheel zooms.
Item {
    id: view

    property PlateModel plate
    // Layer preview: the image shown on the plate outline and its height.
    property bool previewVisible: false
    property url previewSource
    property real previewHeight: 0
    property bool previewMirrorX: false
    property bool previewMirrorY: false
    // The display the preview's image fills, in mm; 0: the plate's own.
    property real previewWidth: 0
    property real previewDepth: 0
    // The next pick on an object lays the picked face flat instead of moving.
    property bool layFlatMode: false
    // Picks on an object add or remove its support points instead of moving it.
    property bool supportEditMode: false
    // Islands of the shown layer ({x, y, areaMm2}), marked in red on the layer image.
    property var islandMarks: []
    readonly property bool picking: layFlatMode || supportEditMode

    readonly property alias plateScene: plateScene
    readonly property alias camera: camera

    Connections {
        target: view.plate
        function onPlateSizeChanged() { view.frameVolume(); }
    }

    // Lets the idle window stop drawing; wakes on changes of this view, the plate, the scene and
    // the camera.
    FrameGate {
        objectName: "frameGate"
        view: view
        model: view.plate
        scene: plateScene
        camera: camera
    }

    function showTop() { camera.showTop(); }
    function showFront() { camera.showFront(); }
    function showSide() { camera.showSide(); }
    function showIso() { camera.showIso(); }

    // Frames the whole printable volume.
    function frameVolume() {
        const extent = Math.max(plate.plateWidth, plate.plateDepth, plate.plateHeight * 0.6, 20);
        camera.target = Qt.vector3d(0, 0, 0);
        camera.distance = extent * 1.7;
    }

    // The row whose triangles the ray through (x, y) meets first, or -1.
    function rowAt(x, y) {
        const r = camera.ray(x, y, width, height);
        return plate.rowAt(r.origin, r.direction);
    }

    Rectangle {
        anchors.fill: parent
        color: "#20262e"
    }

    Scene3D {
        id: scene3d
        objectName: "scene3d"
        anchors.fill: parent
        // Navigation and moving go through the mouse area below; Qt 3D's
        // input aspect is there for the object pickers (lay flat), which read
        // the window's mouse events through it.
        aspects: ["input"]
        cameraAspectRatioMode: Scene3D.AutomaticAspectRatio

        Entity {
            id: sceneRoot

            OrbitCamera {
                id: camera
                azimuth: -35
                elevation: 35
                distance: 320
            }

            components: [
                RenderSettings {
                    // Frames only when something in the scene changed.
                    renderPolicy: RenderSettings.OnDemand
                    // Lay flat needs the picked triangle, not just the object.
                    pickingSettings.pickMethod: PickingSettings.TrianglePicking
                    activeFrameGraph: ForwardRenderer {
                        camera: camera
                        clearColor: "#20262e"
                    }
                },
                InputSettings { }
            ]

            // The plate itself, its top face at z = 0.
            Entity {
                objectName: "buildPlate"
                components: [
                    CuboidMesh {
                        xExtent: view.plate.plateWidth
                        yExtent: view.plate.plateDepth
                        zExtent: 1
                    },
                    Transform {
                        translation: Qt.vector3d(0, 0, -0.51)
                    },
                    PhongMaterial {
                        ambient: "#3b444e"
                        diffuse: "#56616d"
                        specular: "black"
                    }
                ]
            }

            PlateGrid {
                plateWidth: view.plate.plateWidth
                plateDepth: view.plate.plateDepth
                plateHeight: view.plate.plateHeight
            }

            PlateScene {
                id: plateScene
                objectName: "plateScene"
                model: view.plate
                // The layer image shows the cut: the models would hide it.
                enabled: !view.previewVisible
                onObjectPressed: {
                    if (view.supportEditMode && !view.layFlatMode) {
                        // A click within reach of a point removes it, elsewhere adds one.
                        const near = view.plate.supportPointNear(row, worldPoint, 1.0);
                        if (near >= 0)
                            view.plate.removeSupportPoint(row, near);
                        else
                            view.plate.addSupportPoint(row, worldPoint);
                        return;
                    }
                    if (!view.layFlatMode || triangle < 0)
                        return;
                    view.layFlatMode = false;
                    view.plate.layFlat(row, triangle);
                }
                onSupportPressed: {
                    if (view.supportEditMode && !view.layFlatMode)
                        view.plate.removeSupportPoint(row, index);
                }
            }

            LayerPreview {
                shown: view.previewVisible
                source: view.previewSource
                layerHeight: view.previewHeight
                mirrorX: view.previewMirrorX
                mirrorY: view.previewMirrorY
                plateWidth: view.previewWidth > 0 ? view.previewWidth : view.plate.plateWidth
                plateDepth: view.previewDepth > 0 ? view.previewDepth : view.plate.plateDepth
                islandMarks: view.islandMarks
            }

            Entity {
                components: [
                    DirectionalLight {
                        worldDirection: Qt.vector3d(0.3, 0.5, -1)
                        intensity: 0.8
                    }
                ]
            }
        }
    }

    MouseArea {
        id: mouse
        objectName: "viewMouseArea"
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton | Qt.MiddleButton
        // Moving the object under the cursor, orbiting, or panning.
        property string mode: ""
        property int dragRow: -1
        property var lastPoint
        property real lastX: 0
        property real lastY: 0
        property bool moved: false

        onPressed: {
            if (view.picking && mouse.button === Qt.LeftButton) {
                // The face or point is picked by the scene's own object pickers.
                mouse.accepted = false;
                return;
            }
            // Keys (Delete, Page Up/Down) then go to the window's shortcuts
            // instead of a number field that had the focus.
            view.forceActiveFocus();
            lastX = mouse.x;
            lastY = mouse.y;
            moved = false;
            const panning = mouse.button !== Qt.LeftButton || (mouse.modifiers & Qt.ShiftModifier);
            mode = panning ? "pan" : startMove(mouse.x, mouse.y);
        }
        // The object under the cursor is selected and follows the drag;
        // elsewhere the drag orbits. Gives the mode.
        function startMove(x, y) {
            dragRow = view.rowAt(x, y);
            if (dragRow < 0)
                return "orbit";
            view.plate.selectedRow = dragRow;
            lastPoint = camera.pointOnPlane(x, y, view.width, view.height, 0);
            return "move";
        }
        onPositionChanged: {
            const dx = mouse.x - lastX;
            const dy = mouse.y - lastY;
            if (!moved && Math.abs(dx) + Math.abs(dy) < 3)
                return;
            if (mode === "orbit") {
                camera.orbit(-dx * 0.4, dy * 0.4);
            } else if (mode === "pan") {
                camera.pan(dx, dy, view.height);
            } else if (mode === "move" && lastPoint !== undefined) {
                const point = camera.pointOnPlane(mouse.x, mouse.y, view.width, view.height, 0);
                if (point !== undefined) {
                    // Every step after the first joins the first one's undo step.
                    view.plate.moveBy(dragRow, point.x - lastPoint.x, point.y - lastPoint.y, moved);
                    lastPoint = point;
                }
            }
            moved = true;
            lastX = mouse.x;
            lastY = mouse.y;
        }
        onReleased: {
            // A click on empty space clears the selection; a drag keeps it.
            if (!moved && mode === "orbit" && !view.picking)
                view.plate.selectedRow = -1;
            mode = "";
            dragRow = -1;
        }
        onWheel: camera.zoom(wheel.angleDelta.y > 0 ? 1 / 1.15 : 1.15)
        cursorShape: view.picking ? Qt.CrossCursor : Qt.ArrowCursor
    }

    ViewButtons {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.margins: 8
        view: view
    }

    Label {
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.margins: 8
        color: "#c8d0d8"
        text: view.layFlatMode ? qsTr("Click the face that should rest on the plate (Esc to stop)")
              : view.supportEditMode ? qsTr("Click the object to add a support point, a point to remove it (Esc to stop)")
                               : qsTr("Left drag: orbit or move an object · right drag: pan · wheel: zoom")
    }
}
