// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12

// Steps through the layers of the sliced job; the chosen layer is drawn on
// the plate at its height.
Pane {
    id: pane

    property int layerCount: 0
    // Layer height in millimetres.
    property real layerHeight: 0.05
    property alias layerIndex: slider.value
    property alias showing: show.checked

    padding: 6

    function step(delta) {
        slider.value = Math.max(0, Math.min(layerCount - 1, slider.value + delta));
    }

    ColumnLayout {
        anchors.fill: parent
        CheckBox {
            id: show
            objectName: "showLayers"
            text: qsTr("Layers")
            checked: true
            hoverEnabled: true
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: qsTr("Show the sliced layer on the plate (Page Up/Down step through them)")
        }
        Slider {
            id: slider
            objectName: "layerSlider"
            Layout.fillHeight: true
            Layout.alignment: Qt.AlignHCenter
            orientation: Qt.Vertical
            from: 0
            to: Math.max(0, pane.layerCount - 1)
            stepSize: 1
            snapMode: Slider.SnapAlways
            enabled: show.checked
        }
        Label {
            objectName: "layerLabel"
            Layout.alignment: Qt.AlignHCenter
            horizontalAlignment: Text.AlignHCenter
            text: qsTr("%1 / %2\n%3 mm").arg(slider.value + 1).arg(pane.layerCount)
                  .arg(((slider.value + 1) * pane.layerHeight).toFixed(3))
        }
    }
}
