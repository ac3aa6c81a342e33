// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import Qt.labs.platform 1.1 as Platform
import com.corvane.modelbay 1.0

// The dialogs of the job's road: where to save the job or the plate, the
// questions asked before a file is replaced, on this computer or the printer,
// and before a job with islands is saved or sent.
Item {
    id: dialogs

    property JobRoad road
    property PrinterChoice printers

    // "Show" in the island question: the window shows the first island.
    signal showIslandsRequested()

    function saveJob() {
        saveJobDialog.suggest();
    }
    function exportPlate() {
        exportDialog.open();
    }
    function askReplaceOnPrinter() {
        printerReplaceQuestion.open();
    }
    function askIslands() {
        islandQuestion.open();
    }

    // The job file goes to fileUrl; an existing file is replaced only after
    // the user says yes to it.
    function saveJobTo(fileUrl) {
        if (road.fileExists(fileUrl))
            replaceQuestion.ask(fileUrl, function () { road.saveJob(fileUrl, true); });
        else
            road.saveJob(fileUrl, false);
    }

    function exportTo(fileUrl) {
        const target = road.stlUrl(fileUrl);
        if (road.fileExists(target))
            replaceQuestion.ask(target, function () { road.exportPlate(target, true); });
        else
            road.exportPlate(target, false);
    }

    // Both save dialogs leave the question about an existing file to
    // replaceQuestion, which asks it the same way for both.
    Platform.FileDialog {
        id: saveJobDialog
        title: qsTr("Save job")
        fileMode: Platform.FileDialog.SaveFile
        options: Platform.FileDialog.DontConfirmOverwrite
        nameFilters: [qsTr("Job files (*.sl1)")]
        defaultSuffix: "sl1"
        folder: Platform.StandardPaths.writableLocation(Platform.StandardPaths.HomeLocation)
        onAccepted: dialogs.saveJobTo(file)
        // The job's name is offered; chosen after open(), as the dialog
        // behind it exists only then.
        function suggest() {
            open();
            currentFile = folder + "/" + encodeURIComponent(dialogs.road.suggestedFileName());
        }
    }
    Platform.FileDialog {
        id: exportDialog
        title: qsTr("Export STL")
        fileMode: Platform.FileDialog.SaveFile
        options: Platform.FileDialog.DontConfirmOverwrite
        nameFilters: [qsTr("STL files (*.stl)")]
        defaultSuffix: "stl"
        folder: Platform.StandardPaths.writableLocation(Platform.StandardPaths.HomeLocation)
        onAccepted: dialogs.exportTo(file)
    }

    // Asked before a file is replaced; only "Yes" runs the replacing action.
    Dialog {
        id: replaceQuestion
        objectName: "replaceQuestion"
        property url target
        property var action: null
        function ask(fileUrl, onYes) {
            target = fileUrl;
            action = onYes;
            open();
        }
        title: qsTr("Replace the file?")
        anchors.centerIn: parent
        modal: true
        standardButtons: Dialog.Yes | Dialog.No
        onAccepted: {
            const run = action;
            action = null;
            if (run)
                run();
        }
        onRejected: {
            action = null;
            dialogs.road.inform(qsTr("%1 was kept as it was.").arg(dialogs.road.localPath(target)));
        }
        width: Math.min(640, dialogs.width - 40)
        Label {
            wrapMode: Text.WordWrap
            width: replaceQuestion.availableWidth
            text: qsTr("%1 already exists. Replace it?").arg(replaceQuestion.target.toString().length > 0 ? dialogs.road.localPath(replaceQuestion.target) : "")
        }
    }

    // The printer has a file of the job's name: replaced only after a yes.
    Dialog {
        id: printerReplaceQuestion
        objectName: "printerReplaceQuestion"
        title: qsTr("Replace it on the printer?")
        anchors.centerIn: parent
        modal: true
        standardButtons: Dialog.Yes | Dialog.No
        width: Math.min(640, dialogs.width - 40)
        onAccepted: dialogs.road.send(true)
        onRejected: dialogs.road.keepPrinterFile()
        Label {
            wrapMode: Text.WordWrap
            width: printerReplaceQuestion.availableWidth
            text: qsTr("%1 already has a file named “%2”. Replace it with this job?")
                  .arg(dialogs.printers.printerName).arg(dialogs.road.jobName)
        }
    }

    // The job has islands: saved or sent only after "anyway"; "Show" goes to
    // the first one instead.
    Dialog {
        id: islandQuestion
        objectName: "islandQuestion"
        title: qsTr("Islands in the job")
        anchors.centerIn: parent
        modal: true
        closePolicy: Popup.CloseOnEscape
        width: Math.min(640, dialogs.width - 40)
        property bool answered: false
        onAboutToShow: answered = false
        onClosed: {
            if (!answered)
                dialogs.road.answerIslands(false);
        }
        function answer(anyway) {
            answered = true;
            close();
            dialogs.road.answerIslands(anyway);
        }
        Label {
            objectName: "islandQuestionText"
            wrapMode: Text.WordWrap
            width: islandQuestion.availableWidth
            text: dialogs.road.islandQuestion
        }
        footer: DialogButtonBox {
            Button {
                objectName: "islandsAnywayButton"
                text: dialogs.road.pendingDelivery === JobRoad.SendDelivery ? qsTr("Send anyway") : qsTr("Save anyway")
                onClicked: islandQuestion.answer(true)
            }
            Button {
                objectName: "showIslandsButton"
                text: qsTr("Show")
                onClicked: {
                    islandQuestion.answer(false);
                    dialogs.showIslandsRequested();
                }
            }
            Button {
                text: qsTr("Cancel")
                onClicked: islandQuestion.answer(false)
            }
        }
    }
}
