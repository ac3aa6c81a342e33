// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import com.corvane.modelbay 1.0

// The job file shown in the layer preview: its name, what it says of the
// printer and the print, and the way back to the plate's own job.
Frame {
    id: panel

    property JobFileView view

    ColumnLayout {
        anchors.fill: parent
        spacing: 4

        Label {
            objectName: "jobFileName"
            Layout.fillWidth: true
            font.bold: true
            elide: Text.ElideMiddle
            text: panel.view ? qsTr("Job file: %1").arg(panel.view.fileName) : ""
        }
        Repeater {
            model: panel.view ? panel.view.details : []
            Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: modelData
            }
        }
        Label {
            objectName: "jobFileIslands"
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            text: !panel.view ? ""
                  : panel.view.findingIslands ? qsTr("Looking for islands…")
                  : panel.view.islandsError.length > 0 ? panel.view.islandsError
                  : panel.view.islands.summary
        }
        Button {
            objectName: "closeJobFile"
            text: qsTr("Back to the plate")
            onClicked: panel.view.close()
        }
    }
}
