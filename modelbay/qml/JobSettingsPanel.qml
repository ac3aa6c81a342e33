// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import com.corvane.modelbay 1.0

// The chosen profile's exposure and motion values: changed here, they are
// saved as a profile of the user's own (which is then the chosen one) before
// slicing; a profile of one's own can be deleted.
ColumnLayout {
    id: panel

    property JobSettings settings
    property JobRoad road

    spacing: 4

    Label {
        Layout.fillWidth: true
        font.bold: true
        elide: Text.ElideRight
        text: panel.settings.available ? qsTr("Job settings of “%1”").arg(panel.settings.profileTitle)
                                       : qsTr("Job settings")
    }
    Label {
        visible: !panel.settings.available
        Layout.fillWidth: true
        wrapMode: Text.Wrap
        text: qsTr("Choose a printer and a profile to see its settings.")
    }

    GridLayout {
        visible: panel.settings.available
        Layout.fillWidth: true
        columns: 3
        columnSpacing: 6
        rowSpacing: 2

        // One row per value; the rows stay while values change (a field
        // keeps its focus and its editing), only what they show follows.
        Repeater {
            model: panel.settings.fields.length
            delegate: Label {
                readonly property var modelData: panel.settings.fields[index]
                Layout.row: index
                Layout.column: 0
                Layout.fillWidth: true
                elide: Text.ElideRight
                text: modelData.label
                font.bold: modelData.changed
            }
        }
        Repeater {
            model: panel.settings.fields.length
            delegate: NumberField {
                readonly property var modelData: panel.settings.fields[index]
                objectName: "setting" + modelData.key
                Layout.row: index
                Layout.column: 1
                Layout.preferredWidth: 86
                decimals: modelData.decimals
                value: modelData.value
                enabled: !panel.settings.busy && !panel.road.busy
                hint: qsTr("%1 to %2").arg(modelData.from).arg(modelData.to)
                onCommitted: panel.settings.setValue(modelData.key, number)
            }
        }
        Repeater {
            model: panel.settings.fields.length
            delegate: Label {
                readonly property var modelData: panel.settings.fields[index]
                Layout.row: index
                Layout.column: 2
                Layout.preferredWidth: 52
                text: modelData.unit
            }
        }
    }

    Label {
        visible: panel.settings.edited
        Layout.fillWidth: true
        wrapMode: Text.Wrap
        color: "#e8703a"
        text: qsTr("Changed: save them as a profile of your own to slice with them.")
    }
    Label {
        objectName: "jobSettingsMessage"
        visible: text.length > 0
        Layout.fillWidth: true
        wrapMode: Text.Wrap
        color: panel.settings.trouble ? "#e8703a" : palette.windowText
        text: panel.settings.message
    }

    Flow {
        visible: panel.settings.available
        Layout.fillWidth: true
        spacing: 6
        HintButton {
            objectName: "saveProfileButton"
            text: qsTr("Save as profile…")
            hint: qsTr("Keep these values as a profile of your own for this printer")
            enabled: !panel.settings.busy && !panel.road.busy
            onClicked: nameDialog.ask()
        }
        HintButton {
            objectName: "revertSettingsButton"
            text: qsTr("Undo changes")
            hint: qsTr("Back to the values of “%1”").arg(panel.settings.profileTitle)
            enabled: panel.settings.edited && !panel.settings.busy
            onClicked: panel.settings.revert()
        }
        HintButton {
            objectName: "deleteProfileButton"
            visible: panel.settings.ownProfile
            text: qsTr("Delete profile")
            hint: qsTr("Delete “%1”, a profile of your own").arg(panel.settings.profileTitle)
            enabled: !panel.settings.busy && !panel.road.busy
            onClicked: deleteQuestion.open()
        }
    }

    Dialog {
        id: nameDialog
        objectName: "profileNameDialog"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        title: qsTr("Save as a profile of your own")
        standardButtons: Dialog.Save | Dialog.Cancel
        width: Math.min(440, parent ? parent.width - 40 : 440)
        function ask() {
            // Saving under the own profile's name replaces it.
            nameField.text = panel.settings.ownProfile ? panel.settings.profileTitle : "";
            open();
            nameField.forceActiveFocus();
        }
        onAccepted: panel.settings.saveAs(nameField.text)
        ColumnLayout {
            width: nameDialog.availableWidth
            Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                text: qsTr("Name of the profile (a name you used before for this printer is replaced):")
            }
            TextField {
                id: nameField
                objectName: "profileNameField"
                Layout.fillWidth: true
                selectByMouse: true
                maximumLength: 60
                placeholderText: qsTr("e.g. Grey resin 3.5 s")
                onAccepted: nameDialog.accept()
            }
        }
    }

    Dialog {
        id: deleteQuestion
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        title: qsTr("Delete the profile?")
        standardButtons: Dialog.Yes | Dialog.No
        width: Math.min(440, parent ? parent.width - 40 : 440)
        onAccepted: panel.settings.deleteProfile()
        Label {
            width: deleteQuestion.availableWidth
            wrapMode: Text.Wrap
            text: qsTr("Delete “%1”? The printer's own profiles stay.").arg(panel.settings.profileTitle)
        }
    }
}
