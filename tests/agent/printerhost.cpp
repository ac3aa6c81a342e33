// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "printerhost.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>

QString printerHostProgram() { return QStringLiteral(PRINTER_HOST_PROGRAM); }

PrinterHost::PrinterHost(const QString& folder)
    : m_folder(folder)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

PrinterHost::~PrinterHost() { stop(); }

bool PrinterHost::start(const QStringList& options)
{
    if (!QDir().mkpath(m_folder))
        return false;
    m_process.start(
        printerHostProgram(), QStringList { QStringLiteral("--folder"), m_folder } + options);
    if (!m_process.waitForStarted())
        return false;
    QSignalSpy ready(&m_process, &QProcess::readyReadStandardOutput);
    while (!m_process.canReadLine() && m_process.state() == QProcess::Running && ready.wait(30000))
        ;
    const QRegularExpression serving(
        QStringLiteral("^printer-host: serving http://[0-9.]+:(\\d+)$"));
    const QRegularExpressionMatch match
        = serving.match(QString::fromUtf8(m_process.readLine()).trimmed());
    m_port = match.hasMatch() ? match.captured(1).toInt() : 0;
    return m_port > 0;
}

void PrinterHost::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // SIGTERM lets the emulator withdraw its mDNS announcement before it ends.
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QStringList PrinterHost::storedFiles() const
{
    return QDir(m_folder).entryList(QDir::Files, QDir::Name);
}
