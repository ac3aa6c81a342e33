// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agenturls.h"

namespace AgentUrls {

const QString urlPrinterDetails = QStringLiteral("http://%1:%2/printer-details");
const QString urlPrinterProfiles = QStringLiteral("http://%1:%2/printer-profiles/%3:%4");
const QString urlSlicePreview = QStringLiteral("http://%1:%2/slice/preview");
const QString urlAdvancedSlice = QStringLiteral("http://%1:%2/advanced-slice");
// Only ever read with GET: this is the progress poll, slicing starts elsewhere.
const QString urlSlice = QStringLiteral("http://%1:%2/slice");
const QString urlSliceSend = QStringLiteral("http://%1:%2/slice/send");
const QString urlSliceDownload = QStringLiteral("http://%1:%2/slice/download");
const QString urlTerminate = QStringLiteral("http://%1:%2/terminate");

QUrl agentUrl(const QString& urlTemplate, const QString& agentHost, const QString& agentPort)
{
    return QUrl(urlTemplate.arg(agentHost).arg(agentPort), QUrl::TolerantMode);
}

QUrl printerProfilesUrl(const QString& agentHost, const QString& agentPort,
    const QString& printerIp, const QString& printerPort)
{
    // Successive arg() calls: each replaces the lowest placeholder left.
    return QUrl(urlPrinterProfiles.arg(agentHost).arg(agentPort).arg(printerIp).arg(printerPort),
        QUrl::TolerantMode);
}

}
