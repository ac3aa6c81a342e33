// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import QtQuick.Scene3D 2.0
import Qt3D.Core 2.12
import Qt3D.Render 2.12
import Qt3D.Input 2.12
import Qt3D.Extras 2.12
import com.corvane.desktop 1.0

ApplicationWindow {
    id: window
    objectName: "corvaneMainWindow"
    visible: true
    width: 1180
    height: 720
    title: qsTr("Corvane")

    // Build plate of the default printer class, in millimetres; the scene is
    // Z-up with the plate's centre at the origin.
    readonly property real plateWidth: 120
    readonly property real plateDepth: 68

    // Names of the printers the agent listed last.
    property var printerNames: []

    Netlib {
        id: netlib
        objectName: "netlib"
        onDiscoveryResultChanged: {
            var names = [];
            for (var i = 0; i < jsonArray.length; ++i)
                names.push(jsonArray[i].name);
            window.printerNames = names;
        }
    }

    Facetlab {
        id: facetlab
        objectName: "facetlab"
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: "#20262e"

            Scene3D {
                id: scene3d
                anchors.fill: parent
                focus: true
                aspects: ["input", "logic"]
                cameraAspectRatioMode: Scene3D.AutomaticAspectRatio

                Entity {
                    id: sceneRoot

                    Camera {
                        id: camera
                        projectionType: CameraLens.PerspectiveProjection
                        fieldOfView: 40
                        nearPlane: 1
                        farPlane: 2000
                        position: Qt.vector3d(0, -190, 140)
                        upVector: Qt.vector3d(0, 0, 1)
                        viewCenter: Qt.vector3d(0, 0, 0)
                    }

                    OrbitCameraController {
                        camera: camera
                        linearSpeed: 200
                        lookSpeed: 180
                    }

                    components: [
                        RenderSettings {
                            activeFrameGraph: ForwardRenderer {
                                camera: camera
                                clearColor: "#20262e"
                            }
                        },
                        InputSettings { }
                    ]

                    Entity {
                        id: plate
                        objectName: "buildPlate"
                        components: [
                            CuboidMesh {
                                xExtent: window.plateWidth
                                yExtent: window.plateDepth
                                zExtent: 1
                            },
                            Transform {
                                translation: Qt.vector3d(0, 0, -0.5)
                            },
                            PhongMaterial {
                                ambient: "#5a6570"
                                diffuse: "#8c99a6"
                            }
                        ]
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
        }

        Pane {
            Layout.preferredWidth: 330
            Layout.fillHeight: true

            ScrollView {
                anchors.fill: parent
                clip: true

                ColumnLayout {
                    width: 300
                    spacing: 6

                    Image {
                        source: "qrc:/qt3dmodelbay/images/Corvane-Logo-32x32.png"
                        sourceSize.width: 32
                        sourceSize.height: 32
                    }
                    Label {
                        text: qsTr("Corvane, built %1").arg(BUILD_DATE)
                        font.bold: true
                    }
                    Label {
                        text: qsTr("Multi-item slicing: %1").arg(IS_MULTI_ITEM_SLICING_ENABLED ? qsTr("on") : qsTr("off"))
                    }
                    Label {
                        text: qsTr("Eight areas: %1").arg(IS_ENABLED__CUSTOM_FEATURE__EIGHT_AREAS ? qsTr("on") : qsTr("off"))
                    }
                    Label {
                        text: qsTr("Alternative supports: %1").arg(IS_SUPPORTING_ALTERNATIVE_ENABLED ? qsTr("on") : qsTr("off"))
                    }

                    Label {
                        text: qsTr("Slicer agent")
                        font.bold: true
                        topPadding: 12
                    }
                    Button {
                        text: qsTr("Find printers")
                        enabled: !netlib.discoveryInProgress
                        onClicked: netlib.agentDiscover()
                    }
                    Label {
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                        visible: window.printerNames.length > 0
                        text: qsTr("Printers: %1").arg(window.printerNames.join(", "))
                    }
                    Label { text: "discoveryInProgress: " + netlib.discoveryInProgress }
                    Label { text: "slicingInProgress: " + netlib.slicingInProgress }
                    Label { text: "layerID: " + netlib.layerID }
                    Label { text: "layerCount: " + netlib.layerCount }
                    Label { text: "slicingDone: " + netlib.slicingDone }
                    Label { text: "agentIsTerminated: " + netlib.agentIsTerminated }
                    Label {
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                        text: "fetchedProfiles: " + netlib.fetchedProfiles
                    }
                    Label {
                        Layout.fillWidth: true
                        elide: Text.ElideMiddle
                        text: "pathOfLayerImages: " + netlib.pathOfLayerImages
                    }
                    Label { text: "sliceSendInProgress: " + netlib.sliceSendInProgress }
                    Label { text: "sliceDownloadInProgress: " + netlib.sliceDownloadInProgress }
                    Label {
                        Layout.fillWidth: true
                        elide: Text.ElideMiddle
                        text: "sliceDownloadFileUrl: " + netlib.sliceDownloadFileUrl
                    }

                    Label {
                        text: qsTr("STL export")
                        font.bold: true
                        topPadding: 12
                    }
                    Label { text: "stlExportInProgress: " + facetlab.stlExportInProgress }
                    Label { text: "progressbarVal: " + facetlab.progressbarVal.toFixed(1) }
                    Label { text: "exportCanceled: " + facetlab.exportCanceled }
                    ProgressBar {
                        Layout.fillWidth: true
                        from: 0
                        to: 100
                        value: facetlab.progressbarVal
                    }
                }
            }
        }
    }
}
