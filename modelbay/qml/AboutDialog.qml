// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12

// The program's version and licence, and the notices of what it is built with.
Dialog {
    id: dialog

    title: qsTr("About Corvane")
    modal: true
    standardButtons: Dialog.Close
    // A width of its own: sized by its wrapped text, the dialog and the text
    // would wait on each other's width.
    width: Math.min(600, parent ? parent.width - 40 : 600)

    // What the program and its agent link, with each one's licence.
    readonly property var notices: [
        { name: "Qt 5 (Core, Gui, Widgets, Qml, Quick, Network, Concurrent, Qt 3D)", licence: "LGPL-3.0-only or GPL-2.0-or-later", owner: "The Qt Company Ltd and other contributors" },
        { name: "cpp-httplib", licence: "MIT", owner: "Yuji Hirose" },
        { name: "zlib", licence: "Zlib", owner: "Jean-loup Gailly and Mark Adler" },
        { name: "Avahi client library", licence: "LGPL-2.1-or-later", owner: "Lennart Poettering, Trent Lloyd and others" }
    ]

    ColumnLayout {
        spacing: 10
        width: dialog.availableWidth
        RowLayout {
            spacing: 12
            Image {
                source: "qrc:/qt3dmodelbay/images/Corvane-Logo-32x32.png"
                sourceSize.width: 48
                sourceSize.height: 48
            }
            Label {
                objectName: "aboutVersion"
                text: qsTr("Corvane %1").arg(Qt.application.version)
                font.pixelSize: 20
                font.bold: true
            }
        }
        Label {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            text: qsTr("Prepares jobs for resin 3D printers.\n\nCopyright 2026 Corvane developers. "
                       + "This program is free software under the GNU General Public License, "
                       + "version 3 or (at your option) any later version (GPL-3.0-or-later). "
                       + "It comes with ABSOLUTELY NO WARRANTY.")
        }
        Label {
            text: qsTr("Built with")
            font.bold: true
        }
        Repeater {
            model: dialog.notices
            Label {
                Layout.fillWidth: true
                wrapMode: Text.WordWrap
                text: qsTr("%1 — %2, © %3").arg(modelData.name).arg(modelData.licence).arg(modelData.owner)
            }
        }
    }
}
