// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import QtQuick.Window 2.12 as QW
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
    // Never larger than the screen's free room, so that a small screen shows the
    // whole window from the start.
    width: Math.min(1280, QW.Screen.desktopAvailableWidth)
    height: Math.min(800, QW.Screen.desktopAvailableHeight)
    minimumWidth: 900
    minimumHeight: 560
    title: project.title
    font.family: windowSettings.fontFamily.length > 0 ? windowSettings.fontFamily : Qt.application.font.family

    // Opens files given as URLs or local paths, on worker threads: a project
    // replaces the plate; models go on the plate (refusals come through
    // filesOpened), job files to the layer preview.
    function openPaths(files) {
        const projectUrl = project.projectAmong(files);
        if (projectUrl.toString() !== "") {
            projectDialogs.openProject(projectUrl);
            return;
        }
        var models = [];
        for (var i = 0; i < files.length; ++i) {
            if (jobFile.isJobFile(files[i]))
                jobFile.open(files[i]);
            else
                models.push(files[i]);
        }
        if (models.length > 0)
            plate.openFiles(models);
    }

    onClosing: {
        if (!projectDialogs.closeAllowed && project.mustAsk()) {
            close.accepted = false;
            projectDialogs.confirmThen(function () {
                projectDialogs.closeAllowed = true;
                window.close();
            });
        }
    }

    // The job file goes to fileUrl; an existing file is replaced only after
    // the user says yes to it.
    function saveJobTo(fileUrl) {
        jobDialogs.saveJobTo(fileUrl);
    }

    function openFromCommandLine() {
        // The first argument is the program; the launcher passes the rest
        // unchanged, and options are not files.
        const args = Qt.application.arguments.slice(1).filter(function (a) { return a.length > 0 && a.charAt(0) !== "-"; });
        if (args.length > 0)
            openPaths(args);
    }

    Component.onCompleted: {
        projectDialogs.offerRecovery();
        openFromCommandLine();
    }

    Netlib {
        id: netlib
        objectName: "netlib"
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
    }

    // A job file opened to be checked; a new slice or a change of the plate
    // brings back the plate's own job.
    JobFileView {
        id: jobFile
        objectName: "jobFileView"
        onFailed: {
            openErrors.text = sentence;
            openErrors.open();
        }
    }
    Connections {
        target: plate
        function onUndoStateChanged() { jobFile.close(); }
    }

    SupportGenerator {
        id: supportGenerator
        objectName: "supportGenerator"
        plate: plate
    }
    // The printers of the agent and the choice remembered in the settings file.
    PrinterChoice {
        id: printerChoice
        objectName: "printerChoice"
        settingsFile: settingsFilePath
        locked: road.busy
        Component.onCompleted: discover()
        // The plate drawn follows the chosen profile.
        onChoiceChanged: {
            if (hasProfile)
                plate.setPlateSize(plateWidth, plateDepth, plateHeight);
        }
    }

    // The chosen profile's exposure and motion values, as the Job tab changes them.
    JobSettings {
        id: jobSettings
        objectName: "jobSettings"
        printers: printerChoice
    }
    // The resin the estimates' weight and cost are reckoned for (Preferences).
    ResinChoice {
        id: resinChoice
        objectName: "resinChoice"
        settingsFile: settingsFilePath
    }

    JobRoad {
        id: road
        objectName: "jobRoad"
        plate: plate
        plateScene: plateView.plateScene
        netlib: netlib
        facetlab: facetlab
        printers: printerChoice
        jobSettings: jobSettings
        resin: resinChoice
        multiItem: IS_MULTI_ITEM_SLICING_ENABLED ? true : false
        onAskReplaceOnPrinter: jobDialogs.askReplaceOnPrinter()
        onAskIslands: jobDialogs.askIslands()
        onSaveFileWanted: jobDialogs.saveJob()
        // A new slice's islands belong to the object as it stood then.
        onPhaseChanged: {
            if (phase === JobRoad.Slicing) {
                supportsPanel.sliceLiftMm = plate.liftAt(plate.selectedRow);
                jobFile.close();
            }
        }
    }

    // The plate as a project file: saved, opened, its title and recovery copy.
    ProjectDocument {
        id: project
        objectName: "projectDocument"
        plate: plate
        printers: printerChoice
        settingsFile: settingsFilePath
    }

    Settings {
        id: windowSettings
        fileName: settingsFilePath
        category: "window"
        property string fontFamily
    }

    Shortcut {
        sequence: "Ctrl+O"
        onActivated: openDialog.open()
    }
    Shortcut {
        sequence: "Ctrl+S"
        onActivated: projectDialogs.saveThen(null)
    }
    Shortcut {
        sequence: "Ctrl+Shift+S"
        onActivated: projectDialogs.saveAs(null)
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
        onActivated: jobDialogs.exportPlate()
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
        enabled: (road.sliced || jobFile.shown) && layers.showing
        onActivated: layers.step(1)
    }
    Shortcut {
        sequence: "PgDown"
        enabled: (road.sliced || jobFile.shown) && layers.showing
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
        title: qsTr("Open models or a project")
        selectMultiple: true
        nameFilters: [qsTr("Models and job files (*.stl *.STL *.obj *.OBJ *.3mf *.3MF *.sl1 *.sl1s *.goo *.prz *.ctb *.pw* *.pm* *.dl*p *.m5sp *.px6s)"),
            qsTr("Models (*.stl *.STL *.obj *.OBJ *.3mf *.3MF)"),
            qsTr("Job files (*.sl1 *.sl1s *.goo *.prz *.ctb *.pw* *.pm* *.dl*p *.m5sp *.px6s)"), qsTr("All files (*)")]
        folder: shortcuts.home
        onAccepted: window.openPaths(fileUrls)
    }
    // Saving the job, exporting the plate and the questions before a file is
    // replaced, here or on the printer.
    JobDialogs {
        id: jobDialogs
        anchors.fill: parent
        road: road
        printers: printerChoice
        // "Show" in the island question: the first island's layer.
        onShowIslandsRequested: {
            layers.showing = true;
            layers.layerIndex = road.firstIslandLayer;
        }
    }

    ProjectDialogs {
        id: projectDialogs
        anchors.fill: parent
        document: project
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
        resin: resinChoice
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
                hint: qsTr("Open STL, OBJ or 3MF models, a project, or a job file to check (Ctrl+O)")
                onClicked: openDialog.open()
            }
            HintButton {
                id: projectButton
                objectName: "projectButton"
                text: qsTr("Project")
                // No hint while the menu is open: it would cover the first item.
                hint: projectMenu.visible ? "" : qsTr("Save the plate as a project (Ctrl+S), or open a recent one")
                onClicked: projectMenu.open()
                Menu {
                    id: projectMenu
                    y: projectButton.height
                    MenuItem {
                        text: qsTr("Save project (Ctrl+S)")
                        onTriggered: projectDialogs.saveThen(null)
                    }
                    MenuItem {
                        text: qsTr("Save project as… (Ctrl+Shift+S)")
                        onTriggered: projectDialogs.saveAs(null)
                    }
                    MenuSeparator {
                        visible: project.recentProjects.length > 0
                    }
                    Repeater {
                        model: project.recentProjects
                        MenuItem {
                            text: project.displayName(modelData)
                            onTriggered: projectDialogs.openProject(project.urlOf(modelData))
                        }
                    }
                }
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
                hint: qsTr("Choose the window's font and the resin the estimates are for")
                onClicked: preferences.open()
            }
            HintButton {
                objectName: "aboutButton"
                text: qsTr("About")
                hint: qsTr("Version, licence and the notices of what Corvane is built with")
                onClicked: about.open()
            }
        }
    }

    AboutDialog {
        id: about
        anchors.centerIn: parent
    }

    footer: BottomBar {
        id: bottomBar
        road: road
        printers: printerChoice
        plateEmpty: plate.count === 0
        shownJobFile: jobFile.shown ? jobFile.fileName : ""
        onSaveJobRequested: road.deliver(JobRoad.SaveDelivery)
        onExportRequested: jobDialogs.exportPlate()
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
            previewVisible: (road.sliced || jobFile.shown) && layers.showing
            previewSource: jobFile.shown ? jobFile.layerImage(layers.layerIndex)
                         : road.sliced ? road.layerImage(layers.layerIndex) : ""
            previewHeight: road.sliced || jobFile.shown ? (layers.layerIndex + 1) * layers.layerHeight : 0
            previewMirrorX: jobFile.shown ? jobFile.mirrorX : printerChoice.mirrorX
            previewMirrorY: jobFile.shown ? jobFile.mirrorY : printerChoice.mirrorY
            previewWidth: jobFile.shown ? jobFile.displayWidth : 0
            previewDepth: jobFile.shown ? jobFile.displayDepth : 0
            supportEditMode: supportsPanel.editMode
            islandMarks: jobFile.shown ? jobFile.islands.islandsOfLayer(layers.layerIndex)
                       : road.sliced ? road.islands.islandsOfLayer(layers.layerIndex) : []

            LayerSlider {
                id: layers
                objectName: "layerPreview"
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                anchors.margins: 8
                width: 96
                visible: road.sliced || jobFile.shown
                layerCount: jobFile.shown ? jobFile.layerCount : road.layerCount
                layerHeight: jobFile.shown ? jobFile.layerHeight
                           : road.layerHeight > 0 ? road.layerHeight : printerChoice.layerHeight
            }

            IslandsPanel {
                objectName: "islandsPanel"
                anchors.right: layers.left
                anchors.top: parent.top
                anchors.margins: 8
                // Below the row of view buttons, which it would cover in a narrow window.
                anchors.topMargin: 56
                width: 260
                height: Math.min(parent.height / 2, implicitHeight)
                visible: jobFile.shown ? jobFile.islands.summary.length > 0
                                       : road.sliced && (road.islands.summary.length > 0 || road.estimate.length > 0)
                islands: jobFile.shown ? jobFile.islands : road.islands
                estimate: road.sliced && !jobFile.shown ? [road.printTimeText, road.materialText].filter(function (t) { return t.length > 0; }).join(" · ") : ""
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

        // The side panel scrolls when the window is too low for all of it, so
        // that no button is ever cut off; when there is room, the object list
        // takes what the rest leaves.
        Pane {
            id: sidePane
            objectName: "sidePane"
            Layout.preferredWidth: 320
            Layout.fillHeight: true
            padding: 8

            Flickable {
                id: sideScroll
                objectName: "sideScroll"
                anchors.fill: parent
                clip: true
                contentWidth: width
                contentHeight: sideColumn.height
                boundsBehavior: Flickable.StopAtBounds
                // Shown whenever there is more below, not only while scrolling:
                // otherwise nothing tells that the buttons at the end are there.
                ScrollBar.vertical: ScrollBar {
                    id: sideBar
                    policy: sideScroll.contentHeight > sideScroll.height + 1 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                }

                ColumnLayout {
                    id: sideColumn
                    // The bar has a lane of its own, so that it never covers a
                    // field and showing it never narrows the column.
                    width: sideScroll.width - sideBar.width - 2
                    height: Math.max(sideScroll.height, implicitHeight)
                    spacing: 10

                    JobFilePanel {
                        objectName: "jobFilePanel"
                        Layout.fillWidth: true
                        visible: jobFile.shown
                        view: jobFile
                    }

                    PrinterPanel {
                        id: printerPanel
                        objectName: "printerPanel"
                        Layout.fillWidth: true
                        choice: printerChoice
                    }

                    Label {
                        text: qsTr("Objects")
                        font.bold: true
                    }
                    ObjectList {
                        objectName: "objectList"
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        // Up to six rows at any window height: the panel scrolls
                        // instead of the list.
                        Layout.minimumHeight: 30 * Math.max(3, Math.min(6, plate.count))
                        plate: plate
                    }

                    // Placing, supports and the job settings share the room under the list.
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
                        SideTabButton {
                            objectName: "jobSettingsTab"
                            text: qsTr("Job")
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
                            options: plate.supportOptions
                            generator: supportGenerator
                            islands: road.islands
                        }

                        JobSettingsPanel {
                            objectName: "jobSettingsPanel"
                            Layout.fillWidth: true
                            settings: jobSettings
                            road: road
                        }
                    }
                }
            }
        }
    }
}
