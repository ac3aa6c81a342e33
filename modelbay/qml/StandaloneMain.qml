// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import QtQuick.Dialogs 1.3 as Dialogs
import Qt.labs.platform 1.1 as Platform
import Qt.labs.settings 1.0
import com.corvane.desktop 1.0
import com.corvane.modelbay 1.0

// The editor: the plate in 3D, the objects on it, printer and profile, and the
// road of one job from slicing to the printer or a job file.
ApplicationWindow {
    id: window
    objectName: "corvaneMainWindow"
    visible: true
    width: 1280
    height: 800
    minimumWidth: 900
    minimumHeight: 560
    title: qsTr("Corvane")
    font.family: windowSettings.fontFamily.length > 0 ? windowSettings.fontFamily : Qt.application.font.family

    // Opens files given as URLs or local paths; the model reads them on a
    // worker thread and reports the files it refused through filesOpened.
    function openPaths(files) {
        plate.openFiles(files);
    }

    // The job file goes to fileUrl; an existing file is replaced only after
    // the user says yes to it.
    function saveJobTo(fileUrl) {
        if (road.replacer.exists(fileUrl))
            replaceQuestion.ask(fileUrl, function () { road.saveJob(fileUrl, true); });
        else
            road.saveJob(fileUrl, false);
    }

    function exportTo(fileUrl) {
        const target = road.stlUrl(fileUrl);
        if (road.replacer.exists(target))
            replaceQuestion.ask(target, function () { road.exportPlate(target, true); });
        else
            road.exportPlate(target, false);
    }

    function openFromCommandLine() {
        // The first argument is the program; the launcher passes the rest
        // unchanged, and options are not files.
        const args = Qt.application.arguments.slice(1).filter(function (a) { return a.length > 0 && a.charAt(0) !== "-"; });
        if (args.length > 0)
            openPaths(args);
    }

    Component.onCompleted: openFromCommandLine()

    Netlib {
        id: netlib
        objectName: "netlib"
        Component.onCompleted: printerPanel.discover()
    }

    Facetlab {
        id: facetlab
        objectName: "facetlab"
    }

    PlateModel {
        id: plate
        objectName: "plateModel"
        onFilesOpened: {
            if (errors.length > 0) {
                openErrors.text = errors.join("\n");
                openErrors.open();
            }
        }
        onErrorOccurred: road.message = sentence
    }

    SupportOptions {
        id: supportOptions
        objectName: "supportOptions"
    }
    SupportGenerator {
        id: supportGenerator
        objectName: "supportGenerator"
        plate: plate
        options: supportOptions
    }
    // The islands of the last slice, from the job folder's plate document.
    IslandList {
        id: islandList
        objectName: "islandList"
        folder: road.sliced ? netlib.pathOfLayerImages : ""
    }
    // A new slice's islands belong to the object as it stood then.
    Connections {
        target: road
        function onPhaseChanged() {
            if (road.phase === "slicing")
                supportsPanel.sliceLiftMm = plateView.plateScene.liftAt(plate.selectedRow);
        }
    }

    JobRoad {
        id: road
        objectName: "jobRoad"
        plate: plate
        plateScene: plateView.plateScene
        netlib: netlib
        facetlab: facetlab
        printer: printerPanel.printer
        profile: printerPanel.profile
    }

    Settings {
        id: windowSettings
        fileName: settingsFilePath
        category: "window"
        property string fontFamily
    }

    // The plate drawn follows the chosen profile.
    Connections {
        target: printerPanel
        function onProfileChanged() {
            if (printerPanel.profile)
                plate.setPlateSize(printerPanel.plateWidth, printerPanel.plateDepth, printerPanel.plateHeight);
        }
    }

    Shortcut {
        sequence: "Ctrl+O"
        onActivated: openDialog.open()
    }
    Shortcut {
        sequence: "Delete"
        enabled: plate.selectedRow >= 0
        onActivated: plate.remove(plate.selectedRow)
    }
    Shortcut {
        sequence: "Ctrl+D"
        enabled: plate.selectedRow >= 0
        onActivated: plate.duplicate(plate.selectedRow)
    }
    Shortcut {
        sequence: "Ctrl+E"
        enabled: plate.count > 0 && !road.busy
        onActivated: exportDialog.open()
    }
    Shortcut {
        sequence: "Ctrl+Z"
        enabled: plate.canUndo
        onActivated: plate.undo()
    }
    Shortcut {
        sequences: ["Ctrl+Shift+Z", "Ctrl+Y"]
        enabled: plate.canRedo
        onActivated: plate.redo()
    }
    Shortcut {
        sequence: "PgUp"
        enabled: road.sliced && layers.showing
        onActivated: layers.step(1)
    }
    Shortcut {
        sequence: "PgDown"
        enabled: road.sliced && layers.showing
        onActivated: layers.step(-1)
    }
    Shortcut {
        sequence: "Esc"
        enabled: plateView.layFlatMode
        onActivated: plateView.layFlatMode = false
    }
    Shortcut {
        sequence: "Esc"
        enabled: supportsPanel.editMode && !plateView.layFlatMode
        onActivated: supportsPanel.editMode = false
    }

    Dialogs.FileDialog {
        id: openDialog
        title: qsTr("Open models")
        selectMultiple: true
        nameFilters: [qsTr("Models (*.stl *.STL *.obj *.OBJ *.3mf *.3MF)"), qsTr("All files (*)")]
        folder: shortcuts.home
        onAccepted: window.openPaths(fileUrls)
    }
    // Both save dialogs leave the question about an existing file to the
    // window (replaceQuestion), which asks it the same way for both.
    Platform.FileDialog {
        id: saveJobDialog
        title: qsTr("Save job")
        fileMode: Platform.FileDialog.SaveFile
        options: Platform.FileDialog.DontConfirmOverwrite
        nameFilters: [qsTr("Job files (*.sl1)")]
        defaultSuffix: "sl1"
        folder: Platform.StandardPaths.writableLocation(Platform.StandardPaths.HomeLocation)
        onAccepted: window.saveJobTo(file)
    }
    Platform.FileDialog {
        id: exportDialog
        title: qsTr("Export STL")
        fileMode: Platform.FileDialog.SaveFile
        options: Platform.FileDialog.DontConfirmOverwrite
        nameFilters: [qsTr("STL files (*.stl)")]
        defaultSuffix: "stl"
        folder: Platform.StandardPaths.writableLocation(Platform.StandardPaths.HomeLocation)
        onAccepted: window.exportTo(file)
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
            road.message = qsTr("%1 was kept as it was.").arg(road.localPath(target));
        }
        width: Math.min(640, window.width - 40)
        Label {
            wrapMode: Text.WordWrap
            width: replaceQuestion.availableWidth
            text: qsTr("%1 already exists. Replace it?").arg(replaceQuestion.target.toString().length > 0 ? road.localPath(replaceQuestion.target) : "")
        }
    }

    Dialog {
        id: openErrors
        objectName: "openErrors"
        property alias text: errorText.text
        title: qsTr("Some files were not opened")
        anchors.centerIn: parent
        modal: true
        standardButtons: Dialog.Ok
        // A width of its own: sized by its wrapped text, the dialog and the
        // text would wait on each other's width.
        width: Math.min(640, window.width - 40)
        Label {
            id: errorText
            wrapMode: Text.WordWrap
            width: openErrors.availableWidth
        }
    }

    PreferencesDialog {
        id: preferences
        anchors.centerIn: parent
        fontFamily: windowSettings.fontFamily
        onAccepted: windowSettings.fontFamily = fontFamily
    }

    header: ToolBar {
        RowLayout {
            anchors.fill: parent
            spacing: 4
            Image {
                Layout.leftMargin: 6
                source: "qrc:/qt3dmodelbay/images/Corvane-Logo-32x32.png"
                sourceSize.width: 24
                sourceSize.height: 24
            }
            HintButton {
                objectName: "openButton"
                text: qsTr("Open…")
                hint: qsTr("Open STL, OBJ or 3MF models (Ctrl+O)")
                onClicked: openDialog.open()
            }
            HintButton {
                objectName: "undoButton"
                text: qsTr("Undo")
                hint: plate.canUndo ? qsTr("Undo: %1 (Ctrl+Z)").arg(plate.undoText) : qsTr("Nothing to undo (Ctrl+Z)")
                enabled: plate.canUndo
                onClicked: plate.undo()
            }
            HintButton {
                objectName: "redoButton"
                text: qsTr("Redo")
                hint: plate.canRedo ? qsTr("Redo: %1 (Ctrl+Shift+Z)").arg(plate.redoText) : qsTr("Nothing to redo (Ctrl+Shift+Z)")
                enabled: plate.canRedo
                onClicked: plate.redo()
            }
            HintButton {
                objectName: "arrangeButton"
                text: qsTr("Arrange")
                hint: qsTr("Pack all objects on the plate without overlap")
                enabled: plate.count > 0
                onClicked: plate.arrange()
            }
            BusyIndicator {
                Layout.preferredHeight: 28
                Layout.preferredWidth: 28
                // Runs only while files are read: an idle window animates nothing.
                running: plate.busy
                visible: running
            }
            Item {
                Layout.fillWidth: true
            }
            Label {
                visible: plate.outsideNames.length > 0
                color: "#d84038"
                text: qsTr("Outside the printable volume: %1").arg(plate.outsideNames.join(", "))
                elide: Text.ElideRight
                Layout.maximumWidth: 420
            }
            HintButton {
                objectName: "preferencesButton"
                text: qsTr("Preferences…")
                hint: qsTr("Choose the window's font")
                onClicked: preferences.open()
            }
        }
    }

    footer: BottomBar {
        id: bottomBar
        road: road
        netlib: netlib
        facetlab: facetlab
        plateEmpty: plate.count === 0
        onSaveJobRequested: saveJobDialog.open()
        onExportRequested: exportDialog.open()
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        PlateView {
            id: plateView
            objectName: "plateView"
            Layout.fillWidth: true
            Layout.fillHeight: true
            plate: plate
            previewVisible: road.sliced && layers.showing
            previewSource: road.sliced ? road.layerImage(layers.layerIndex) : ""
            previewHeight: road.sliced ? (layers.layerIndex + 1) * layers.layerHeight : 0
            previewMirrorX: printerPanel.profile ? printerPanel.profile.MirrorX === true : false
            previewMirrorY: printerPanel.profile ? printerPanel.profile.MirrorY === true : false
            supportEditMode: supportsPanel.editMode
            supportOptions: supportOptions
            islandMarks: road.sliced ? islandList.islands.filter(function (island) {
                return island.layer === layers.layerIndex;
            }) : []

            LayerSlider {
                id: layers
                objectName: "layerPreview"
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                anchors.margins: 8
                width: 96
                visible: road.sliced
                layerCount: road.layerCount
                layerHeight: printerPanel.profile ? printerPanel.profile.Depth / 1000 : 0.05
            }

            IslandsPanel {
                objectName: "islandsPanel"
                anchors.right: layers.left
                anchors.top: parent.top
                anchors.margins: 8
                width: 260
                height: Math.min(parent.height / 2, implicitHeight)
                visible: road.sliced && islandList.summary.length > 0
                islands: islandList
                currentLayer: layers.layerIndex
                onLayerChosen: {
                    layers.showing = true;
                    layers.layerIndex = layer;
                }
            }

            DropArea {
                anchors.fill: parent
                keys: ["text/uri-list"]
                onDropped: {
                    if (drop.hasUrls) {
                        window.openPaths(drop.urls);
                        drop.acceptProposedAction();
                    }
                }
            }
        }

        Pane {
            Layout.preferredWidth: 320
            Layout.fillHeight: true

            ColumnLayout {
                anchors.fill: parent
                spacing: 10

                PrinterPanel {
                    id: printerPanel
                    objectName: "printerPanel"
                    Layout.fillWidth: true
                    netlib: netlib
                    locked: road.busy
                }

                Label {
                    text: qsTr("Objects")
                    font.bold: true
                }
                ObjectList {
                    objectName: "objectList"
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumHeight: 90
                    plate: plate
                }

                // Placing and supports share the room under the list.
                TabBar {
                    id: sideTabs
                    objectName: "sideTabs"
                    Layout.fillWidth: true
                    SideTabButton {
                        text: qsTr("Place")
                    }
                    SideTabButton {
                        objectName: "supportsTab"
                        text: qsTr("Supports")
                    }
                }
                StackLayout {
                    Layout.fillWidth: true
                    Layout.fillHeight: false
                    currentIndex: sideTabs.currentIndex

                    TransformPanel {
                        Layout.fillWidth: true
                        plate: plate
                        layFlatMode: plateView.layFlatMode
                        onLayFlatRequested: plateView.layFlatMode = !plateView.layFlatMode
                    }

                    SupportsPanel {
                        id: supportsPanel
                        objectName: "supportsPanel"
                        Layout.fillWidth: true
                        plate: plate
                        options: supportOptions
                        generator: supportGenerator
                        islands: islandList
                    }
                }
            }
        }
    }
}
