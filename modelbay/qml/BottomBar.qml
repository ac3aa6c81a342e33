// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import com.corvane.modelbay 1.0

// Progress of the job, its name and the actions that make and deliver it.
ToolBar {
    id: bar

    property JobRoad road
    property PrinterChoice printers
    property bool plateEmpty: true
    // The name of a job file shown in the layer preview instead of the plate's job.
    property string shownJobFile

    signal saveJobRequested()
    signal exportRequested()

    // Side by side in a wide window; the sentence gets a row of its own in a
    // narrow one, so that it is never squeezed away by the buttons.
    GridLayout {
        anchors.fill: parent
        columns: bar.width < 1400 ? 1 : 2
        rowSpacing: 0
        columnSpacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 8

            ProgressBar {
                objectName: "jobProgress"
                Layout.preferredWidth: 120
                from: 0
                to: 1
                value: bar.road.progress
            }
            Label {
                id: status
                objectName: "jobStatus"
                Layout.fillWidth: true
                elide: Text.ElideRight
                text: bar.road.progressText
                color: bar.road.trouble ? "#e8703a" : palette.windowText
            }
            Label {
                objectName: "shownJobFile"
                visible: bar.shownJobFile.length > 0
                color: "#3a8ee8"
                text: qsTr("Showing %1 · Slice, Save, Send: the plate").arg(bar.shownJobFile)
            }
            // A sentence too long for the bar is shown whole on request.
            HintButton {
                objectName: "statusDetailsButton"
                visible: status.truncated
                text: qsTr("Details…")
                hint: qsTr("Show the whole message")
                onClicked: details.open()
            }
        }
        RowLayout {
            spacing: 8
            Layout.alignment: Qt.AlignRight
            TextField {
                id: nameField
                objectName: "jobName"
                Layout.preferredWidth: 150
                text: bar.road.jobName
                enabled: !bar.road.busy
                selectByMouse: true
                placeholderText: qsTr("Job name")
                onEditingFinished: bar.road.jobName = text
                hoverEnabled: true
                ToolTip.visible: hovered
                ToolTip.delay: 600
                ToolTip.text: qsTr("The job's name on the printer and in the saved file")
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
                // The built-in printers have no host to send to: their jobs are saved as files.
                readonly property bool takesFiles: bar.printers.printerTakesFiles
                hint: takesFiles ? qsTr("This printer takes job files: use Save job…")
                                 : qsTr("Hand the sliced job to the printer")
                enabled: bar.road.phase === JobRoad.Sliced && !takesFiles
                // A job with islands asks first.
                onClicked: bar.road.deliver(JobRoad.SendDelivery)
            }
            HintButton {
                objectName: "saveJobButton"
                text: qsTr("Save job…")
                hint: qsTr("Save the sliced job as a file for the printer")
                enabled: bar.road.phase === JobRoad.Sliced
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

    Popup {
        id: details
        objectName: "statusDetails"
        parent: Overlay.overlay
        x: 20
        y: parent ? parent.height - height - bar.height - 8 : 0
        width: parent ? Math.min(720, parent.width - 40) : 400
        padding: 12
        Label {
            width: details.availableWidth
            wrapMode: Text.WordWrap
            text: bar.road.message
        }
    }
}
