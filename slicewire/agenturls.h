// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SLICEWIRE_AGENTURLS_H
#define SLICEWIRE_AGENTURLS_H

#include "slicewire_export.h"

#include <QString>
#include <QUrl>

// The agent's endpoints. In every template %1 is the agent host and %2 its
// port; the profiles endpoint adds the printer host's address (%3) and port (%4).
namespace AgentUrls {

SLICEWIRE_EXPORT extern const QString urlPrinterDetails;
SLICEWIRE_EXPORT extern const QString urlPrinterProfiles;
SLICEWIRE_EXPORT extern const QString urlSlicePreview;
SLICEWIRE_EXPORT extern const QString urlAdvancedSlice;
SLICEWIRE_EXPORT extern const QString urlSlice;
SLICEWIRE_EXPORT extern const QString urlSliceSend;
SLICEWIRE_EXPORT extern const QString urlSliceDownload;
SLICEWIRE_EXPORT extern const QString urlTerminate;

// Fills %1 and %2 of a template, in that order, and parses the text tolerantly.
SLICEWIRE_EXPORT QUrl agentUrl(
    const QString& urlTemplate, const QString& agentHost, const QString& agentPort);

// The profiles endpoint of one printer host: four successive substitutions,
// so the printer's address and port become the last path segment "ip:port".
SLICEWIRE_EXPORT QUrl printerProfilesUrl(const QString& agentHost, const QString& agentPort,
    const QString& printerIp, const QString& printerPort);

}

#endif
