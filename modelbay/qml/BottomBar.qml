// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12

// Progress of the job and the actions that make and deliver it.
ToolBar {
    id: bar

    property var road
    property var netlib
    property var facetlab
    property bool plateEmpty: true

    signal saveJobRequested()
    signal exportRequested()

    readonly property string progressText: {
        if (road.exporting)
            return qsTr("Writing the plate… %1 %").arg(Math.round(facetlab.progressbarVal));
        if (road.phase === "slicing") {
            if (netlib.layerCount.length > 0 && Number(netlib.layerCount) > 0)
                return qsTr("Layer %1 of %2").arg(Number(netlib.layerID) || 0).arg(netlib.layerCount);
            return qsTr("Slicing…");
        }
        return road.message;
    }
    readonly property real progress: {
        if (road.exporting)
            return facetlab.progressbarVal / 100;
        if (road.phase === "slicing")
            return Number(netlib.layerCount) > 0 ? (Number(netlib.layerID) || 0) / Number(netlib.layerCount) : 0;
        return road.phase === "sliced" ? 1 : 0;
    }

    RowLayout {
        anchors.fill: parent
        spacing: 8

        ProgressBar {
            objectName: "jobProgress"
            Layout.preferredWidth: 160
            from: 0
            to: 1
            value: bar.progress
        }
        Label {
            objectName: "jobStatus"
            Layout.fillWidth: true
            elide: Text.ElideRight
            text: bar.progressText
            color: bar.road.phase === "failed" ? "#e8703a" : palette.windowText
            HoverHandler {
                id: statusHover
            }
            ToolTip.visible: statusHover.hovered && parent.truncated
            ToolTip.text: text
        }
        HintButton {
            objectName: "cancelButton"
            text: qsTr("Cancel")
            hint: qsTr("Stop writing the plate")
            enabled: bar.road.exporting
            onClicked: bar.road.cancel()
        }
        HintButton {
            objectName: "sliceButton"
            text: qsTr("Slice")
            hint: qsTr("Cut the plate into layer images for the chosen printer and profile")
            highlighted: true
            enabled: !bar.road.busy && !bar.plateEmpty
            onClicked: bar.road.slice()
        }
        HintButton {
            objectName: "sendButton"
            text: qsTr("Send to printer")
            // The built-in printers (address "local") have no host to send
            // to: their jobs are saved as files.
            readonly property bool takesFiles: bar.road.printer ? bar.road.printer.ip === "local" : false
            hint: takesFiles ? qsTr("This printer takes job files: use Save job…")
                             : qsTr("Hand the sliced job to the printer")
            enabled: bar.road.sliced && !bar.road.busy && !takesFiles
            onClicked: bar.road.send()
        }
        HintButton {
            objectName: "saveJobButton"
            text: qsTr("Save job…")
            hint: qsTr("Save the sliced job as a file for the printer")
            enabled: bar.road.sliced && !bar.road.busy
            onClicked: bar.saveJobRequested()
        }
        HintButton {
            objectName: "exportStlButton"
            text: qsTr("Export STL…")
            hint: qsTr("Write the whole plate as one STL file (Ctrl+E)")
            enabled: !bar.road.busy && !bar.plateEmpty
            onClicked: bar.exportRequested()
        }
    }
}
