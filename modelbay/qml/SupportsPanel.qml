// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQml 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import com.corvane.modelbay 1.0

// Supports: off, or automatic with their settings; Generate places the points
// of the selected object on a worker thread (Cancel stops it), and in editing
// mode a click on the object adds a point there or removes the one clicked.
ColumnLayout {
    id: panel

    property PlateModel plate
    property SupportOptions options
    property SupportGenerator generator
    // The last slice's islands get points too.
    property IslandList islands
    // How far the selected object stood on supports when it was last sliced.
    property real sliceLiftMm: 0
    property bool editMode: false
    // The branching style is offered only where the start-up values allow it.
    // (a number or a truth value; absent where nobody set it).
    readonly property bool alternativeEnabled: typeof IS_SUPPORTING_ALTERNATIVE_ENABLED !== "undefined"
                                               && Boolean(IS_SUPPORTING_ALTERNATIVE_ENABLED)

    readonly property int row: plate ? plate.selectedRow : -1
    readonly property int pointCount: row >= 0 && points.count > row && points.objectAt(row)
                                      ? points.objectAt(row).count : 0

    spacing: 4

    // Editing points needs supports on and an object to put them on.
    onRowChanged: if (row < 0) editMode = false
    onVisibleChanged: if (!visible) editMode = false
    Connections {
        target: panel.options
        function onChanged() {
            if (!panel.options.automatic)
                panel.editMode = false;
        }
    }

    Instantiator {
        id: points
        model: panel.plate
        delegate: QtObject {
            readonly property int count: model.supportPoints ? model.supportPoints.length : 0
        }
    }

    RowLayout {
        Label {
            text: qsTr("Supports")
            font.bold: true
            Layout.fillWidth: true
        }
        ComboBox {
            id: mode
            objectName: "supportsMode"
            model: [qsTr("Off"), qsTr("Automatic")]
            currentIndex: panel.options && panel.options.automatic ? 1 : 0
            onActivated: panel.options.automatic = index === 1
        }
    }

    GridLayout {
        columns: 4
        columnSpacing: 6
        rowSpacing: 2
        enabled: panel.options && panel.options.automatic
        visible: enabled

        Label {
            text: qsTr("Style")
            visible: panel.alternativeEnabled
        }
        ComboBox {
            objectName: "supportsStyle"
            Layout.fillWidth: true
            Layout.columnSpan: 3
            visible: panel.alternativeEnabled
            model: [qsTr("Pillars"), qsTr("Branching")]
            currentIndex: panel.options && panel.options.branching ? 1 : 0
            onActivated: panel.options.branching = index === 1
        }

        Label { text: qsTr("Overhang °") }
        NumberField {
            objectName: "supportsOverhang"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            decimals: 0
            value: panel.options ? panel.options.overhangAngle : 0
            hint: qsTr("Downward faces tilted further than this from vertical get supports")
            onCommitted: panel.options.overhangAngle = number
        }
        Label { text: qsTr("Density /cm²") }
        NumberField {
            objectName: "supportsDensity"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            decimals: 1
            value: panel.options ? panel.options.density : 0
            hint: qsTr("Support points per square centimetre of overhanging surface")
            onCommitted: panel.options.density = number
        }
        Label { text: qsTr("Contact mm") }
        NumberField {
            objectName: "supportsContact"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            value: panel.options ? panel.options.contactDiameter : 0
            hint: qsTr("Diameter where a support touches the model")
            onCommitted: panel.options.contactDiameter = number
        }
        Label { text: qsTr("Shaft mm") }
        NumberField {
            objectName: "supportsShaft"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            value: panel.options ? panel.options.shaftDiameter : 0
            hint: qsTr("Diameter of a support's shaft")
            onCommitted: panel.options.shaftDiameter = number
        }
        Label { text: qsTr("Lift mm") }
        NumberField {
            objectName: "supportsLift"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            value: panel.options ? panel.options.lift : 0
            hint: qsTr("Height of the model's lowest point above the plate")
            onCommitted: panel.options.lift = number
        }
        Label { text: qsTr("Pad mm") }
        NumberField {
            objectName: "supportsPad"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            value: panel.options ? panel.options.pad : 0
            hint: qsTr("Thickness of the pad that joins the feet on the plate")
            onCommitted: panel.options.pad = number
        }
    }

    RowLayout {
        visible: panel.options && panel.options.automatic
        enabled: panel.row >= 0
        Button {
            objectName: "supportsGenerate"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            text: qsTr("Generate")
            enabled: panel.generator && !panel.generator.busy
            hoverEnabled: true
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: qsTr("Place support points on the selected object (one undo step)")
            onClicked: panel.generator.generate(panel.row, panel.islands,
                                                panel.sliceLiftMm)
        }
        Button {
            objectName: "supportsEdit"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            text: qsTr("Edit points")
            checkable: true
            checked: panel.editMode
            hoverEnabled: true
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: qsTr("Click the object to add a support point, click a point to remove it (Esc to stop)")
            onClicked: panel.editMode = checked
        }
        Button {
            objectName: "supportsClear"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            text: qsTr("Clear")
            enabled: panel.pointCount > 0
            onClicked: panel.plate.clearSupportPoints(panel.row)
        }
    }

    RowLayout {
        visible: panel.generator && panel.generator.busy
        ProgressBar {
            objectName: "supportsProgress"
            Layout.fillWidth: true
            Layout.preferredWidth: 100
            from: 0
            to: 100
            value: panel.generator ? panel.generator.progress : 0
        }
        Button {
            objectName: "supportsCancel"
            Layout.fillWidth: true
            Layout.preferredWidth: 40
            text: qsTr("Cancel")
            onClicked: panel.generator.cancel()
        }
    }

    // The plate builds supports aside; slicing waits for them.
    Label {
        objectName: "supportsBuilding"
        visible: panel.plate ? panel.plate.supportsBusy : false
        color: "#9aa6b2"
        text: qsTr("Building supports…")
    }

    Label {
        objectName: "supportsCount"
        visible: panel.options && panel.options.automatic && panel.row >= 0
        text: panel.pointCount === 1 ? qsTr("1 support point")
                                     : qsTr("%1 support points").arg(panel.pointCount)
    }
}
