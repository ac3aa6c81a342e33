// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12

// The objects on the plate, one line each; a click selects. Objects that
// reach outside the printable volume are marked in the warning colour, the red
// the 3D view draws them in (orange there means selected).
ListView {
    id: list

    property var plate

    clip: true
    model: plate
    currentIndex: plate ? plate.selectedRow : -1
    boundsBehavior: Flickable.StopAtBounds
    ScrollBar.vertical: ScrollBar { }

    delegate: ItemDelegate {
        objectName: "objectRow" + index
        width: list.width
        height: 30
        highlighted: model.selected
        hoverEnabled: true
        ToolTip.visible: hovered
        ToolTip.delay: 600
        ToolTip.text: model.sourcePath
        onClicked: list.plate.selectedRow = index

        contentItem: RowLayout {
            spacing: 6
            Rectangle {
                Layout.preferredWidth: 10
                Layout.preferredHeight: 10
                radius: 5
                color: model.outside ? "#d84038" : "#5fa8e8"
            }
            Label {
                Layout.fillWidth: true
                elide: Text.ElideMiddle
                text: model.name
                color: model.outside ? "#d84038" : palette.text
            }
            Label {
                color: "#9aa6b2"
                text: qsTr("%1 × %2 × %3").arg(model.size.x.toFixed(1)).arg(model.size.y.toFixed(1))
                                           .arg(model.size.z.toFixed(1))
            }
        }
    }

    Label {
        anchors.centerIn: parent
        width: parent.width - 20
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        visible: list.count === 0
        color: "#9aa6b2"
        text: qsTr("Open STL, OBJ or 3MF files (Ctrl+O) or drop them onto the window.")
    }
}
