// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12

// The window's font, chosen among the families the system offers.
Dialog {
    id: dialog

    // The family chosen; empty means the system's default.
    property string fontFamily

    title: qsTr("Preferences")
    modal: true
    standardButtons: Dialog.Ok | Dialog.Cancel

    onAboutToShow: {
        const index = fontFamiliesAvailable.indexOf(fontFamily);
        familyBox.currentIndex = index >= 0 ? index + 1 : 0;
    }
    onAccepted: fontFamily = familyBox.currentIndex > 0 ? fontFamiliesAvailable[familyBox.currentIndex - 1] : ""

    GridLayout {
        columns: 2
        Label {
            text: qsTr("Font")
        }
        ComboBox {
            id: familyBox
            objectName: "fontFamilyBox"
            Layout.preferredWidth: 260
            model: [qsTr("System default")].concat(fontFamiliesAvailable)
            hoverEnabled: true
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: qsTr("The font of the whole window")
        }
    }
}
