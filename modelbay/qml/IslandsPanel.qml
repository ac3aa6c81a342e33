// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import com.corvane.modelbay 1.0

// What the last slice found: the estimates, a summary line and one entry per
// island, bottom layer first, and the layers that peel hard; clicking an entry
// shows its layer.
Pane {
    id: pane

    property IslandList islands
    // The print time and resin of the job, one line.
    property string estimate
    // The layer the preview shows, to mark its islands in the list.
    property int currentLayer: -1
    signal layerChosen(int layer)

    padding: 6
    opacity: 0.92

    ColumnLayout {
        anchors.fill: parent
        spacing: 4

        Label {
            objectName: "jobEstimate"
            visible: text.length > 0
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            text: pane.estimate
        }
        Label {
            objectName: "islandSummary"
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            font.bold: true
            color: pane.islands && pane.islands.islands.length > 0 ? "#e04040" : palette.windowText
            text: pane.islands ? pane.islands.summary : ""
        }
        Label {
            objectName: "peelSummary"
            readonly property int count: pane.islands ? pane.islands.peelWarnings.length : 0
            visible: count > 0
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            font.bold: true
            color: "#e8703a"
            text: count === 1 ? qsTr("1 layer peels hard (its area grows by over 1 cm²)")
                              : qsTr("%1 layers peel hard (their area grows by over 1 cm²)").arg(count)
        }
        ListView {
            id: list
            objectName: "islandList"
            Layout.fillWidth: true
            Layout.fillHeight: true
            // As tall as its entries, until the panel's height limit makes it scroll.
            Layout.preferredHeight: contentHeight
            clip: true
            // The islands, then the layers that peel hard.
            model: pane.islands ? pane.islands.islands.concat(pane.islands.peelWarnings.map(function (w) {
                return { layer: w.layer, height: w.height, peel: true };
            })) : []
            ScrollBar.vertical: ScrollBar { }
            delegate: ItemDelegate {
                objectName: "island" + index
                width: list.width
                leftPadding: 6
                rightPadding: 6
                highlighted: modelData.layer === pane.currentLayer
                text: modelData.peel
                      ? qsTr("Layer %1 · %2 mm · peels hard").arg(modelData.layer + 1).arg(modelData.height.toFixed(2))
                      : qsTr("Layer %1 · %2 mm · %3 mm²").arg(modelData.layer + 1)
                        .arg(modelData.height.toFixed(2)).arg(modelData.areaMm2.toFixed(1))
                onClicked: pane.layerChosen(modelData.layer)
            }
        }
    }
}
