// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12

// The view's preset directions: Top, Front and Side square on, Iso in
// perspective, and Fit to frame the printable volume.
Row {
    id: buttons

    // The PlateView whose camera the buttons turn.
    property var view

    spacing: 4

    HintButton {
        objectName: "viewTopButton"
        text: qsTr("Top")
        hint: qsTr("Look straight down on the plate")
        onClicked: buttons.view.showTop()
    }
    HintButton {
        objectName: "viewFrontButton"
        text: qsTr("Front")
        hint: qsTr("Look at the plate from the front")
        onClicked: buttons.view.showFront()
    }
    HintButton {
        objectName: "viewSideButton"
        text: qsTr("Side")
        hint: qsTr("Look at the plate from the right")
        onClicked: buttons.view.showSide()
    }
    HintButton {
        objectName: "viewIsoButton"
        text: qsTr("Iso")
        hint: qsTr("Look at the plate from above and aside")
        onClicked: buttons.view.showIso()
    }
    HintButton {
        objectName: "viewFitButton"
        text: qsTr("Fit")
        hint: qsTr("Frame the whole printable volume")
        onClicked: buttons.view.frameVolume()
    }
}
