// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import com.corvane.modelbay 1.0

// Printer and profile: the printers the agent knows, grouped by maker and
// found by typing, the chosen one's profiles and what the chosen profile makes.
ColumnLayout {
    id: panel

    property PrinterChoice choice

    spacing: 6

    Label {
        text: qsTr("Printer")
        font.bold: true
    }
    TextField {
        id: search
        objectName: "printerSearch"
        Layout.fillWidth: true
        visible: panel.choice.printerCount > 4
        placeholderText: qsTr("Type to find a printer")
        selectByMouse: true
        onTextChanged: panel.choice.filter = text
    }
    ListView {
        id: list
        objectName: "printerList"
        Layout.fillWidth: true
        // From the count, not from contentHeight: that follows the delegates the
        // list made for its height, and the side column sizes itself by the list.
        Layout.preferredHeight: Math.min(132, panel.choice.printerCount * 46)
        visible: panel.choice.printerCount > 0
        clip: true
        enabled: !panel.choice.locked
        model: panel.choice
        currentIndex: panel.choice.chosenRow
        highlightMoveDuration: 0
        ScrollBar.vertical: ScrollBar { }
        section.property: "maker"
        section.delegate: Label {
            text: section
            font.pixelSize: 11
            color: "#9aa6b2"
            leftPadding: 4
        }
        delegate: ItemDelegate {
            objectName: "printer" + index
            width: list.width
            height: 28
            leftPadding: 12
            text: model.format.length > 0 ? model.name + "  ·  " + model.format : model.name
            highlighted: ListView.isCurrentItem
            onClicked: panel.choice.choose(index)
            ToolTip.visible: hovered && model.address.length > 0
            ToolTip.delay: 600
            ToolTip.text: model.address
        }
    }
    Label {
        visible: panel.choice.searching
        text: qsTr("Looking for printers…")
    }
    RowLayout {
        Layout.fillWidth: true
        visible: panel.choice.notFound
        // One line, the whole reason on hover: a wrapped label here would size
        // the scrolling side column by its own height and loop.
        Label {
            id: noPrinterLabel
            objectName: "noPrinterLabel"
            Layout.fillWidth: true
            elide: Text.ElideRight
            text: panel.choice.listError.length > 0 ? qsTr("No printer found: %1").arg(panel.choice.listError)
                                                    : qsTr("No printer found")
            color: "#e0a040"
            ToolTip.visible: noPrinterHover.hovered && truncated
            ToolTip.text: text
            HoverHandler {
                id: noPrinterHover
            }
        }
        HintButton {
            objectName: "retryDiscoveryButton"
            text: qsTr("Retry")
            hint: qsTr("Ask the slicer agent for its printers again")
            enabled: !panel.choice.searching
            onClicked: panel.choice.discover()
        }
    }

    Label {
        text: qsTr("Profile")
        font.bold: true
    }
    ComboBox {
        id: profileBox
        objectName: "profileBox"
        Layout.fillWidth: true
        enabled: !panel.choice.locked && panel.choice.profileTitles.length > 0
        model: panel.choice.profileTitles
        currentIndex: panel.choice.profileIndex
        onActivated: panel.choice.chooseProfile(index)
        hoverEnabled: true
        ToolTip.visible: hovered
        ToolTip.delay: 600
        ToolTip.text: qsTr("Layer height, exposure and build size used for slicing")
    }
    Label {
        Layout.fillWidth: true
        wrapMode: Text.WordWrap
        visible: panel.choice.profileError.length > 0
        color: "#e0a040"
        text: panel.choice.profileError
    }
    ColumnLayout {
        objectName: "printerDetails"
        Layout.fillWidth: true
        visible: panel.choice.hasProfile
        spacing: 0
        Repeater {
            model: [
                // The list may be filtered so that the chosen printer is not in sight.
                [qsTr("Chosen"), panel.choice.chosenRow < 0 ? panel.choice.printerName : ""],
                [qsTr("Panel"), panel.choice.panelText],
                [qsTr("Pixel"), panel.choice.pixelText],
                [qsTr("Build volume"), panel.choice.volumeText],
                [qsTr("Layers"), qsTr("%1 mm").arg(panel.choice.layerHeight)],
                [qsTr("File type"), panel.choice.formatText]
            ].filter(function (row) { return row[1].length > 0; })
            delegate: Label {
                Layout.fillWidth: true
                elide: Text.ElideRight
                color: "#9aa6b2"
                text: modelData[0] + ": " + modelData[1]
            }
        }
    }
}
