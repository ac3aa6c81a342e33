// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_AGENT_PRINTERHOST_H
#define TESTS_AGENT_PRINTERHOST_H

#include <QProcess>
#include <QString>
#include <QStringList>

// The printer host emulator (tools/printer-host), run by a test with a folder of the test's own
// for the uploads, and stopped by its process id when the test is done with it.
class PrinterHost {
public:
    explicit PrinterHost(const QString& folder);
    ~PrinterHost(); // stops a host that still runs
    PrinterHost(const PrinterHost&) = delete;
    PrinterHost& operator=(const PrinterHost&) = delete;

    // Starts the emulator with these options besides --folder (e.g. --dialect form, --api-key K,
    // --fail 409) and waits for the line that names its port. False when it does not come up.
    bool start(const QStringList& options);
    void setEnvironment(const QProcessEnvironment& environment)
    {
        m_process.setProcessEnvironment(environment);
    }
    void stop();
    int port() const { return m_port; }
    QString folder() const { return m_folder; }
    // The files the host has stored, by name.
    QStringList storedFiles() const;

private:
    QString m_folder;
    QProcess m_process;
    int m_port = 0;
};

QString printerHostProgram();

#endif
