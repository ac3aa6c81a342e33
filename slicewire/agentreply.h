// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SLICEWIRE_AGENTREPLY_H
#define SLICEWIRE_AGENTREPLY_H

#include "slicewire_export.h"

#include <QByteArray>
#include <QJsonArray>
#include <QString>

// What the QML shows as the printer list when the agent cannot be asked:
// one printer whose texts read "Not Discovered", with one profile.
SLICEWIRE_EXPORT extern const char fallbackPrinterDocument[];

// The "printers_array" of the fallback document, parsed afresh on each call.
SLICEWIRE_EXPORT QJsonArray fallbackPrinterList();

// The sentence that tells the user why a request failed: the agent's own
// "error" text when its body is a JSON object carrying one, otherwise the
// network layer's text.
SLICEWIRE_EXPORT QString agentErrorText(const QByteArray& body, const QString& networkErrorText);

#endif
