// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import Qt3D.Core 2.12
import Qt3D.Render 2.12
import Qt3D.Extras 2.12

// The sliced layer shown on the plate: its image on the plate outline at the
// layer's height, and the islands of that layer marked in red.
Entity {
    id: preview

    property bool shown: false
    property url source
    property real layerHeight: 0
    property bool mirrorX: false
    property bool mirrorY: false
    property real plateWidth: 0
    property real plateDepth: 0
    // Islands of the shown layer ({x, y, areaMm2}).
    property var islandMarks: []

    // The layer image on the plate outline, at the layer's height;
    // made only while a layer is shown, so no texture waits for an
    // image that is not there.
    NodeInstantiator {
        model: preview.shown ? 1 : 0
        delegate: Entity {
            objectName: "layerImage"
            // Off before it goes: an entity the instantiator drops has
            // been seen to stay drawn.
            enabled: preview.shown
            components: [
                // The image's top row is the plate's back edge (+y), as
                // the layer images are drawn.
                PlaneMesh {
                    width: preview.plateWidth
                    height: preview.plateDepth
                    // A mirror in x comes from the half turn below, which
                    // also turns y: the texture turns y back.
                    mirrored: preview.mirrorX !== preview.mirrorY
                },
                // Stood up from the mesh's xz plane onto the plate; a
                // mirrored image is turned a half turn about z instead of
                // scaled by -1, which would show the plane's back, and the
                // material draws front faces only. Lifted 0.3 mm so that the
                // grid never shows through the first layers.
                Transform {
                    translation: Qt.vector3d(0, 0, preview.layerHeight + 0.3)
                    rotation: preview.mirrorX ? Qt.quaternion(0, 0, 0.7071068, 0.7071068)
                                                  : Qt.quaternion(0.7071068, 0.7071068, 0, 0)
                },
                TextureMaterial {
                    texture: TextureLoader {
                        source: preview.source
                        mirrored: false
                    }
                }
            ]
        }
    }

    NodeInstantiator {
        model: preview.shown ? preview.islandMarks : []
        delegate: Entity {
            objectName: "islandMark"
            components: [
                // At least a millimetre across, to be seen on a small island, and at
                // most three, not to hide the island's own outline.
                SphereMesh { radius: Math.min(1.5, Math.max(0.5, Math.sqrt(modelData.areaMm2 / Math.PI))) },
                Transform { translation: Qt.vector3d(modelData.x, modelData.y, preview.layerHeight) },
                PhongMaterial { ambient: "#a01010"; diffuse: "#ff2020"; specular: "black" }
            ]
        }
    }
}
