// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQml 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12

// Position (mm), rotation (degrees) and scale (%) of the selected object, and
// the tools that place it. Every change is a command of the plate model.
ColumnLayout {
    id: panel

    property var plate
    // Set while the next click on a face lays it flat.
    property bool layFlatMode: false
    signal layFlatRequested()

    readonly property int row: plate ? plate.selectedRow : -1
    readonly property var current: row >= 0 && rows.count > row ? rows.objectAt(row) : null
    readonly property vector3d translation: current ? current.translation : Qt.vector3d(0, 0, 0)
    readonly property vector3d rotation: current ? current.rotation : Qt.vector3d(0, 0, 0)
    readonly property vector3d scale: current ? current.scale : Qt.vector3d(1, 1, 1)
    readonly property vector3d size: current ? current.size : Qt.vector3d(0, 0, 0)

    // The selected row's placement as the model has it.
    Instantiator {
        id: rows
        model: panel.plate
        delegate: QtObject {
            readonly property vector3d translation: model.translation
            readonly property vector3d rotation: model.rotation
            readonly property vector3d scale: model.scale
            readonly property vector3d size: model.size
        }
    }

    function withAxis(vector, axis, number) {
        return Qt.vector3d(axis === 0 ? number : vector.x, axis === 1 ? number : vector.y,
                           axis === 2 ? number : vector.z);
    }

    function setScalePercent(axis, percent) {
        if (percent <= 0)
            return;
        const factor = percent / 100;
        if (uniform.checked) {
            const old = [scale.x, scale.y, scale.z][axis];
            const ratio = old > 0 ? factor / old : 1;
            plate.setScale(row, scale.times(ratio));
        } else {
            plate.setScale(row, withAxis(scale, axis, factor));
        }
    }

    enabled: row >= 0
    spacing: 4

    Label {
        text: qsTr("Position (mm)")
        font.bold: true
    }
    RowLayout {
        Repeater {
            model: ["X", "Y", "Z"]
            NumberField {
                objectName: "move" + modelData
                Layout.fillWidth: true
                Layout.preferredWidth: 60
                value: [panel.translation.x, panel.translation.y, panel.translation.z][index]
                hint: qsTr("%1 of the object's centre on the plate, in millimetres").arg(modelData)
                onCommitted: panel.plate.setTranslation(panel.row, panel.withAxis(panel.translation, index, number))
            }
        }
    }
    Label {
        text: qsTr("Rotation (°)")
        font.bold: true
    }
    RowLayout {
        Repeater {
            model: ["X", "Y", "Z"]
            NumberField {
                objectName: "rotate" + modelData
                Layout.fillWidth: true
                Layout.preferredWidth: 60
                decimals: 1
                value: [panel.rotation.x, panel.rotation.y, panel.rotation.z][index]
                hint: qsTr("Turn about the %1 axis, in degrees").arg(modelData)
                onCommitted: panel.plate.setRotation(panel.row, panel.withAxis(panel.rotation, index, number))
            }
        }
    }
    RowLayout {
        Label {
            text: qsTr("Scale (%)")
            font.bold: true
            Layout.fillWidth: true
        }
        CheckBox {
            id: uniform
            objectName: "uniformScale"
            text: qsTr("Uniform")
            checked: true
            hoverEnabled: true
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: qsTr("Keep the proportions when one axis changes")
        }
    }
    RowLayout {
        Repeater {
            model: ["X", "Y", "Z"]
            NumberField {
                objectName: "scale" + modelData
                Layout.fillWidth: true
                Layout.preferredWidth: 60
                decimals: 1
                value: 100 * [panel.scale.x, panel.scale.y, panel.scale.z][index]
                hint: qsTr("Size along %1 in per cent of the file's").arg(modelData)
                onCommitted: panel.setScalePercent(index, number)
            }
        }
    }
    Label {
        color: "#9aa6b2"
        text: panel.current ? qsTr("Size: %1 × %2 × %3 mm").arg(panel.size.x.toFixed(2))
                              .arg(panel.size.y.toFixed(2)).arg(panel.size.z.toFixed(2))
                            : qsTr("Select an object to place it.")
    }

    GridLayout {
        Layout.fillWidth: true
        columns: 2
        HintButton {
            objectName: "dropButton"
            Layout.fillWidth: true
            text: qsTr("Drop to plate")
            hint: qsTr("Lower the object until it rests on the plate")
            onClicked: panel.plate.dropToPlate(panel.row)
        }
        HintButton {
            objectName: "centreButton"
            Layout.fillWidth: true
            text: qsTr("Centre")
            hint: qsTr("Move the object to the plate's centre")
            onClicked: panel.plate.centre(panel.row)
        }
        HintButton {
            objectName: "layFlatButton"
            Layout.fillWidth: true
            text: qsTr("Lay flat")
            hint: qsTr("Click a face of the object next: it is turned to rest on the plate")
            checkable: true
            checked: panel.layFlatMode
            onClicked: panel.layFlatRequested()
        }
        HintButton {
            objectName: "duplicateButton"
            Layout.fillWidth: true
            text: qsTr("Duplicate")
            hint: qsTr("Place a copy of the object beside the others (Ctrl+D)")
            onClicked: panel.plate.duplicate(panel.row)
        }
        HintButton {
            objectName: "deleteButton"
            Layout.fillWidth: true
            Layout.columnSpan: 2
            text: qsTr("Delete")
            hint: qsTr("Remove the object from the plate (Delete)")
            onClicked: panel.plate.remove(panel.row)
        }
    }
}
