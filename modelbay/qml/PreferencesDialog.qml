// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import com.corvane.modelbay 1.0

// The window's font, chosen among the families the system offers, and the
// resin the estimates reckon the weight and cost of a job for.
Dialog {
    id: dialog

    // The family chosen; empty means the system's default.
    property string fontFamily
    property ResinChoice resin

    title: qsTr("Preferences")
    modal: true
    standardButtons: Dialog.Ok | Dialog.Cancel

    onAboutToShow: {
        const index = fontFamiliesAvailable.indexOf(fontFamily);
        familyBox.currentIndex = index >= 0 ? index + 1 : 0;
        resinBox.currentIndex = resin ? resin.commonNames.indexOf(resin.name) : -1;
        resinName.text = resin ? resin.name : "";
        density.value = resin ? resin.density : 1.1;
        price.value = resin ? resin.pricePerLitre : 0;
        currency.text = resin ? resin.currency : "";
    }
    onAccepted: {
        fontFamily = familyBox.currentIndex > 0 ? fontFamiliesAvailable[familyBox.currentIndex - 1] : "";
        if (resin)
            resin.choose(resinName.text, density.value, price.value, currency.text);
    }

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

        Label {
            text: qsTr("Resin")
            Layout.topMargin: 8
        }
        ComboBox {
            id: resinBox
            objectName: "resinBox"
            Layout.preferredWidth: 260
            Layout.topMargin: 8
            model: dialog.resin ? dialog.resin.commonNames : []
            displayText: currentIndex >= 0 ? currentText : qsTr("Your own")
            // A common resin fills in its values; they can be changed below.
            onActivated: {
                const chosen = dialog.resin.common(index);
                resinName.text = chosen.name;
                density.value = chosen.density;
                price.value = chosen.pricePerLitre;
            }
        }
        Label {
            text: qsTr("Name")
        }
        TextField {
            id: resinName
            objectName: "resinName"
            Layout.preferredWidth: 260
            selectByMouse: true
            onTextEdited: resinBox.currentIndex = dialog.resin ? dialog.resin.commonNames.indexOf(text) : -1
        }
        Label {
            text: qsTr("Density (g/ml)")
        }
        NumberField {
            id: density
            objectName: "resinDensity"
            Layout.preferredWidth: 100
            decimals: 3
            hint: qsTr("Grams per millilitre, as the resin's data sheet gives it")
            onCommitted: value = number > 0 ? number : value
        }
        Label {
            text: qsTr("Price per litre")
        }
        RowLayout {
            NumberField {
                id: price
                objectName: "resinPrice"
                Layout.preferredWidth: 100
                decimals: 2
                hint: qsTr("What a litre of the resin costs; 0 leaves the cost out")
                onCommitted: value = number >= 0 ? number : value
            }
            TextField {
                id: currency
                objectName: "resinCurrency"
                Layout.preferredWidth: 50
                selectByMouse: true
                maximumLength: 4
                placeholderText: qsTr("€")
            }
        }
    }
}
