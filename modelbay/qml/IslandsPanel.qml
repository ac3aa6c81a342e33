// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import com.corvane.modelbay 1.0

// The islands the last slice found: a summary line and one entry per island,
// bottom layer first; clicking an entry shows its layer.
Pane {
    id: pane

    property IslandList islands
    // The layer the preview shows, to mark its islands in the list.
    property int currentLayer: -1
    signal layerChosen(int layer)

    padding: 6
    opacity: 0.92

    ColumnLayout {
        anchors.fill: parent
        spacing: 4

        Label {
            objectName: "islandSummary"
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            font.bold: true
            color: pane.islands && pane.islands.islands.length > 0 ? "#e04040" : palette.windowText
            text: pane.islands ? pane.islands.summary : ""
        }
        ListView {
            id: list
            objectName: "islandList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            // As tall as its entries, until the panel's height limit makes it scroll.
            Layout.preferredHeight: contentHeight
            clip: true
            model: pane.islands ? pane.islands.islands : []
            ScrollBar.vertical: ScrollBar { }
            delegate: ItemDelegate {
                objectName: "island" + index
                width: list.width
                leftPadding: 6
                rightPadding: 6
                highlighted: modelData.layer === pane.currentLayer
                text: qsTr("Layer %1 · %2 mm · %3 mm²").arg(modelData.layer + 1)
                      .arg(modelData.height.toFixed(2)).arg(modelData.areaMm2.toFixed(1))
                onClicked: pane.layerChosen(modelData.layer)
            }
        }
    }
}
