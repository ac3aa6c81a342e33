// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12

// A tab of the side panel. The default style draws the tabs that are NOT shown in dark grey,
// which reads as the opposite; here the shown tab is the light one, underlined.
TabButton {
    id: tab
    topPadding: 4
    bottomPadding: 4
    font.bold: checked
    // The default style writes a tab that is not shown in white, made for its dark background.
    contentItem: Text {
        text: tab.text
        font: tab.font
        color: tab.palette.windowText
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    background: Rectangle {
        implicitHeight: 32
        color: tab.checked ? tab.palette.base : Qt.darker(tab.palette.window, tab.down ? 1.15 : 1.06)
        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 3
            visible: tab.checked
            color: tab.palette.highlight
        }
    }
}
