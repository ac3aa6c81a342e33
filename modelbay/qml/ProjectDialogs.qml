// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Dialogs 1.3 as Dialogs
import com.corvane.modelbay 1.0

// The questions around a project: where to save it, what to do with unsaved
// changes, whether to restore the copy a crashed window left. The document
// decides; this only asks and passes the answers on.
Item {
    id: dialogs
    property ProjectDocument document
    // Set once the user agreed to close: the window's next close goes through.
    property bool closeAllowed: false
    property var afterSave: null
    property var afterQuestion: null
    property string recoveryPath: ""

    // Saves to the project's file, asking for one the first time; then runs `action`.
    function saveThen(action) {
        if (document.fileUrl.toString() === "") {
            saveAs(action);
            return;
        }
        const error = document.save();
        if (error.length > 0)
            showError(error);
        else if (action)
            action();
    }

    function saveAs(action) {
        afterSave = action || null;
        saveDialog.open();
    }

    // Runs `action` at once, or after the user answered Save or Discard to
    // the question about unsaved changes.
    function confirmThen(action) {
        if (!document.mustAsk()) {
            action();
            return;
        }
        afterQuestion = action;
        unsavedQuestion.open();
    }

    function openProject(url) {
        confirmThen(function () {
            const error = document.open(url);
            if (error.length > 0)
                showError(error);
        });
    }

    function offerRecovery() {
        recoveryPath = document.orphanedRecovery();
        if (recoveryPath.length > 0)
            recoveryQuestion.open();
    }

    function showError(text) {
        errorDialog.text = text;
        errorDialog.open();
    }

    Dialogs.FileDialog {
        id: saveDialog
        title: qsTr("Save project as")
        selectExisting: false
        nameFilters: [qsTr("Corvane projects (*.3mf)")]
        defaultSuffix: "3mf"
        folder: shortcuts.home
        onAccepted: {
            const error = dialogs.document.saveAs(fileUrl);
            const action = dialogs.afterSave;
            dialogs.afterSave = null;
            if (error.length > 0)
                dialogs.showError(error);
            else if (action)
                action();
        }
        onRejected: dialogs.afterSave = null
    }

    Dialog {
        id: unsavedQuestion
        objectName: "unsavedQuestion"
        title: qsTr("Unsaved changes")
        anchors.centerIn: parent
        modal: true
        standardButtons: Dialog.Save | Dialog.Discard | Dialog.Cancel
        Label {
            text: qsTr("The plate has changes that are not saved in a project. Save them first?")
            wrapMode: Text.WordWrap
            width: Math.min(460, dialogs.width - 80)
        }
        onAccepted: {
            const action = dialogs.afterQuestion;
            dialogs.afterQuestion = null;
            dialogs.saveThen(action);
        }
        onDiscarded: {
            const action = dialogs.afterQuestion;
            dialogs.afterQuestion = null;
            close();
            if (dialogs.document.proceedAfter(ProjectDocument.Discard))
                action();
        }
        onRejected: dialogs.afterQuestion = null
    }

    Dialog {
        id: recoveryQuestion
        objectName: "recoveryQuestion"
        title: qsTr("Restore unsaved work?")
        anchors.centerIn: parent
        modal: true
        standardButtons: Dialog.Yes | Dialog.Discard
        Label {
            text: qsTr("Corvane ended without closing while a plate had unsaved changes. Restore the plate as it was a few minutes before?")
            wrapMode: Text.WordWrap
            width: Math.min(460, dialogs.width - 80)
        }
        onAccepted: {
            const error = dialogs.document.restoreRecovery(dialogs.recoveryPath);
            if (error.length > 0)
                dialogs.showError(error);
        }
        onDiscarded: {
            dialogs.document.discardRecovery(dialogs.recoveryPath);
            close();
        }
    }

    Dialog {
        id: errorDialog
        objectName: "projectError"
        property alias text: errorText.text
        title: qsTr("Project")
        anchors.centerIn: parent
        modal: true
        standardButtons: Dialog.Ok
        width: Math.min(640, dialogs.width - 40)
        Label {
            id: errorText
            wrapMode: Text.WordWrap
            width: errorDialog.availableWidth
        }
    }
}
