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
    // The next pick on an object lays the picked face flat instead of moving.
    property bool layFlatMode: false
    // Picks on an object add or remove its support points instead of moving it.
    property bool supportEditMode: false
    property SupportOptions supportOptions
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

    // The row whose placed bounds the ray through (x, y) meets first, or -1.
    function rowAt(x, y) {
        const r = camera.ray(x, y, width, height);
        const o = [r.origin.x, r.origin.y, r.origin.z];
        const d = [r.direction.x, r.direction.y, r.direction.z];
        let best = -1;
        let bestT = Infinity;
        for (let row = 0; row < bounds.count; ++row) {
            const item = bounds.objectAt(row);
            if (!item)
                continue;
            const lo = [item.low.x, item.low.y, item.low.z];
            const hi = [item.high.x, item.high.y, item.high.z];
            let near = -Infinity;
            let far = Infinity;
            for (let k = 0; k < 3; ++k) {
                if (Math.abs(d[k]) < 1e-12) {
                    if (o[k] < lo[k] || o[k] > hi[k])
                        far = -Infinity;
                    continue;
                }
                let t1 = (lo[k] - o[k]) / d[k];
                let t2 = (hi[k] - o[k]) / d[k];
                if (t1 > t2) {
                    const swap = t1;
                    t1 = t2;
                    t2 = swap;
                }
                near = Math.max(near, t1);
                far = Math.min(far, t2);
            }
            if (near <= far && far >= 0 && near < bestT) {
                bestT = near;
                best = row;
            }
        }
        return best;
    }

    // The placed bounds of every row, for picking in the view; they follow the
    // model, which stays the only owner of the values.
    Instantiator {
        id: bounds
        model: view.plate
        delegate: QtObject {
            readonly property vector3d low: model.boundsMin
            readonly property vector3d high: model.boundsMax
        }
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
                supportOptions: view.supportOptions
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

            // The layer image on the plate outline, at the layer's height;
            // made only while a layer is shown, so no texture waits for an
            // image that is not there.
            NodeInstantiator {
                model: view.previewVisible ? 1 : 0
                delegate: Entity {
                    objectName: "layerImage"
                    components: [
                        // The image's top row is the plate's back edge (+y), as
                        // the layer images are drawn.
                        PlaneMesh {
                            width: view.plate.plateWidth
                            height: view.plate.plateDepth
                            // A mirror in x comes from the half turn below, which
                            // also turns y: the texture turns y back.
                            mirrored: view.previewMirrorX !== view.previewMirrorY
                        },
                        // Stood up from the mesh's xz plane onto the plate; a
                        // mirrored image is turned a half turn about z instead of
                        // scaled by -1, which would show the plane's back, and the
                        // material draws front faces only. Lifted 0.3 mm so that the
                        // grid never shows through the first layers.
                        Transform {
                            translation: Qt.vector3d(0, 0, view.previewHeight + 0.3)
                            rotation: view.previewMirrorX ? Qt.quaternion(0, 0, 0.7071068, 0.7071068)
                                                          : Qt.quaternion(0.7071068, 0.7071068, 0, 0)
                        },
                        TextureMaterial {
                            texture: TextureLoader {
                                source: view.previewSource
                                mirrored: false
                            }
                        }
                    ]
                }
            }

            NodeInstantiator {
                model: view.previewVisible ? view.islandMarks : []
                delegate: Entity {
                    objectName: "islandMark"
                    components: [
                        // At least a millimetre across, to be seen on a small island, and at
                        // most three, not to hide the island's own outline.
                        SphereMesh { radius: Math.min(1.5, Math.max(0.5, Math.sqrt(modelData.areaMm2 / Math.PI))) },
                        Transform { translation: Qt.vector3d(modelData.x, modelData.y, view.previewHeight) },
                        PhongMaterial { ambient: "#a01010"; diffuse: "#ff2020"; specular: "black" }
                    ]
                }
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
            if (panning) {
                mode = "pan";
                return;
            }
            const row = view.rowAt(mouse.x, mouse.y);
            if (row >= 0) {
                view.plate.selectedRow = row;
                mode = "move";
                dragRow = row;
                lastPoint = camera.pointOnPlane(mouse.x, mouse.y, view.width, view.height, 0);
            } else {
                mode = "orbit";
            }
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

    Row {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.margins: 8
        spacing: 4

        HintButton {
            objectName: "viewTopButton"
            text: qsTr("Top")
            hint: qsTr("Look straight down on the plate")
            onClicked: view.showTop()
        }
        HintButton {
            objectName: "viewFrontButton"
            text: qsTr("Front")
            hint: qsTr("Look at the plate from the front")
            onClicked: view.showFront()
        }
        HintButton {
            objectName: "viewSideButton"
            text: qsTr("Side")
            hint: qsTr("Look at the plate from the right")
            onClicked: view.showSide()
        }
        HintButton {
            objectName: "viewIsoButton"
            text: qsTr("Iso")
            hint: qsTr("Look at the plate from above and aside")
            onClicked: view.showIso()
        }
        HintButton {
            objectName: "viewFitButton"
            text: qsTr("Fit")
            hint: qsTr("Frame the whole printable volume")
            onClicked: view.frameVolume()
        }
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
