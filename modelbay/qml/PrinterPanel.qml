// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import Qt.labs.settings 1.0

// Printer and profile: asks the agent for its printers at start, fetches the
// chosen printer's profiles and remembers the last choice in the settings file.
ColumnLayout {
    id: panel

    property var netlib
    // Locked while a job is sliced: the job keeps the printer it was made for.
    property bool locked: false

    property var printers: []
    property var profiles: []
    readonly property var printer: printerBox.currentIndex >= 0 ? printers[printerBox.currentIndex] : null
    readonly property var profile: profileBox.currentIndex >= 0 ? profiles[profileBox.currentIndex] : null
    readonly property bool notFound: printers.length === 0 && !searching
    property bool searching: true
    property string profileError

    // Build plate of the chosen profile in millimetres: pixels times the pixel
    // size in micrometres; the pixel height defaults to the width.
    // A profile that lacks a number gives 0, never an undefined value.
    readonly property real plateWidth: profile ? (profile.PixelsX * profile.PixelSizeX / 1000) || 0 : 0
    readonly property real plateDepth: profile ? (profile.PixelsY * (profile.PixelSizeY || profile.PixelSizeX) / 1000) || 0 : 0
    readonly property real plateHeight: profile ? Number(profile.MaxHeight) || 0 : 0

    function discover() {
        searching = true;
        startAttempts = 0;
        netlib.agentDiscover();
    }

    property int startAttempts: 0

    spacing: 6

    Settings {
        id: remembered
        fileName: settingsFilePath
        category: "printer"
        property string printer
        property string profile
    }

    // The agent starts with the program and may need a moment before it
    // answers: the first discovery is repeated a few times before the
    // window says no printer was found.
    Timer {
        id: retryAtStart
        interval: 300
        onTriggered: panel.netlib.agentDiscover()
    }

    Connections {
        target: panel.netlib
        function onDiscoveryResultChanged(jsonArray) {
            const list = [];
            for (let i = 0; i < jsonArray.length; ++i) {
                if (jsonArray[i].name !== "Not Discovered")
                    list.push(jsonArray[i]);
            }
            if (list.length === 0 && panel.startAttempts < 20) {
                ++panel.startAttempts;
                retryAtStart.start();
                return;
            }
            panel.searching = false;
            panel.printers = list;
            let index = list.length > 0 ? 0 : -1;
            for (let k = 0; k < list.length; ++k) {
                if (list[k].ip + ":" + list[k].port === remembered.printer)
                    index = k;
            }
            printerBox.currentIndex = index;
            if (panel.printer)
                remembered.printer = panel.printerKey(panel.printer);
            panel.fetchChosen();
        }
        function onFetchingResultChanged(jsonArray) {
            const list = [];
            for (let i = 0; i < jsonArray.length; ++i)
                list.push(jsonArray[i]);
            panel.profileError = "";
            panel.profiles = list;
            let index = list.length > 0 ? 0 : -1;
            for (let k = 0; panel.printer && k < list.length; ++k) {
                if (panel.profileKey(panel.printer, list[k]) === remembered.profile)
                    index = k;
            }
            profileBox.currentIndex = index;
            if (panel.profile)
                remembered.profile = panel.profileKey(panel.printer, panel.profile);
        }
        function onFetchedProfilesChanged(profiles) {
            // Anything but a JSON array is the reason the fetch failed.
            if (profiles.length > 0 && profiles.charAt(0) !== "[")
                panel.profileError = profiles;
        }
    }

    // Printers are told apart by their address; profile numbers only within
    // their printer, so a remembered profile carries its printer's address.
    function printerKey(p) {
        return p.ip + ":" + p.port;
    }
    function profileKey(p, profile) {
        return printerKey(p) + "/" + profile.ProfileID;
    }

    function fetchChosen() {
        profiles = [];
        profileError = "";
        if (printer)
            netlib.fetchProfiles(printer.ip, String(printer.port));
    }

    Label {
        text: qsTr("Printer")
        font.bold: true
    }
    RowLayout {
        Layout.fillWidth: true
        visible: !panel.notFound
        ComboBox {
            id: printerBox
            objectName: "printerBox"
            Layout.fillWidth: true
            enabled: !panel.locked && !panel.searching
            model: panel.printers.map(function (p) { return p.name; })
            displayText: panel.searching ? qsTr("Looking for printers…") : currentText
            onActivated: {
                remembered.printer = panel.printerKey(panel.printer);
                panel.fetchChosen();
            }
            hoverEnabled: true
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: qsTr("The printer the job is made for")
        }
    }
    RowLayout {
        Layout.fillWidth: true
        visible: panel.notFound
        Label {
            objectName: "noPrinterLabel"
            Layout.fillWidth: true
            text: qsTr("No printer found")
            color: "#e0a040"
        }
        HintButton {
            objectName: "retryDiscoveryButton"
            text: qsTr("Retry")
            hint: qsTr("Ask the slicer agent for its printers again")
            enabled: !panel.netlib.discoveryInProgress
            onClicked: panel.discover()
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
        enabled: !panel.locked && panel.profiles.length > 0
        model: panel.profiles.map(function (p) { return p.Title; })
        onActivated: remembered.profile = panel.profileKey(panel.printer, panel.profile)
        hoverEnabled: true
        ToolTip.visible: hovered
        ToolTip.delay: 600
        ToolTip.text: qsTr("Layer height, exposure and build size used for slicing")
    }
    Label {
        Layout.fillWidth: true
        wrapMode: Text.WordWrap
        visible: panel.profileError.length > 0
        color: "#e0a040"
        text: panel.profileError
    }
    Label {
        Layout.fillWidth: true
        wrapMode: Text.WordWrap
        visible: panel.profile !== null
        color: "#9aa6b2"
        text: panel.profile ? qsTr("%1 × %2 × %3 mm, layers of %4 mm")
                              .arg(panel.plateWidth.toFixed(1)).arg(panel.plateDepth.toFixed(1))
                              .arg(panel.plateHeight).arg(panel.profile.Depth / 1000)
                            : ""
    }
}
