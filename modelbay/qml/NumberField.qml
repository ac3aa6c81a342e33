// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick 2.12
import QtQuick.Controls 2.12

// A number with its unit. Shows `value` until the user types; Enter or leaving
// the field commits the typed number, and the field then follows `value` again.
TextField {
    id: field

    property real value: 0
    property int decimals: 2
    property string hint
    signal committed(real number)

    selectByMouse: true
    horizontalAlignment: Text.AlignRight
    validator: DoubleValidator { decimals: field.decimals; notation: DoubleValidator.StandardNotation }
    text: value.toFixed(decimals)
    hoverEnabled: true
    ToolTip.visible: hovered && hint.length > 0 && !activeFocus
    ToolTip.delay: 600
    ToolTip.text: hint

    function follow() {
        text = Qt.binding(function () { return field.value.toFixed(field.decimals); });
    }

    onEditingFinished: {
        const number = Number(text.replace(",", "."));
        if (!isNaN(number) && Math.abs(number - value) > Math.pow(10, -decimals) / 2)
            committed(number);
        follow();
    }
    // Enter hands the keys back to the window, so Ctrl+Z undoes the change
    // on the plate rather than the typing.
    onAccepted: focus = false
    Keys.onEscapePressed: {
        follow();
        focus = false;
    }
}
