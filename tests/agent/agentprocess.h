// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_AGENT_AGENTPROCESS_H
#define TESTS_AGENT_AGENTPROCESS_H

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>

// One answer of the agent: the HTTP status and the body.
struct HttpAnswer {
    int status = 0;
    QByteArray body;
    QJsonObject object() const; // the body's top-level object, empty when it is none
    QString error() const { return object().value(QStringLiteral("error")).toString(); }
};

using FormFields = QList<QPair<QString, QString>>;

// The built agent, run by a test on a free port with a data folder of the test's own, and
// driven over HTTP the way the desktop client drives it.
class AgentProcess {
public:
    explicit AgentProcess(const QString& dataDir);
    ~AgentProcess(); // kills an agent that is still running
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    // Starts the agent with the given arguments (by default a free port and the data folder) and
    // waits for the line that names its port. False when it does not come up.
    bool start();
    bool start(const QStringList& arguments, const QProcessEnvironment& environment);
    int port() const { return m_port; }
    QProcess& process() { return m_process; }
    QString dataDir() const { return m_dataDir; }

    HttpAnswer get(const QString& path);
    // A form body built by the client's own encoder (formBody: fully encoded, "+" as %2B).
    HttpAnswer postForm(const QString& path, const FormFields& fields);
    HttpAnswer post(const QString& path, const QByteArray& body,
        const QByteArray& contentType = "application/x-www-form-urlencoded; charset=utf-8");
    // Sends these exact bytes (a whole request ending in Connection: close) and reads the answer.
    HttpAnswer raw(const QByteArray& request);

    // Polls "/slice" until the newest job reports "100" or fails; the last poll's answer.
    // Between polls it waits for the job folder to change (a new layer image), never sleeps.
    HttpAnswer waitForJob(const QString& jobFolder, QStringList* percentages = nullptr);

    bool waitForExit(int milliseconds = 30000);

private:
    HttpAnswer finish(class QNetworkReply* reply);

    QString m_dataDir;
    QProcess m_process;
    QNetworkAccessManager m_network;
    int m_port = 0;
};

// The path of the built agent.
QString agentProgram();

// The test program's environment with the system bus pointed nowhere, so that the agent finds
// no Avahi daemon and sends nothing onto the network.
QProcessEnvironment withoutDiscovery();

// Writes "printers.json" into dataDir with one configured host, "Test host" at
// 192.0.2.10:8080, whose small display (200 x 120 pixels of 0.1 mm, origin in the middle) makes
// pixel areas easy to predict. Its profiles:
//   1 "Coarse": 0.1 mm layers, exposure 5 s
//   2 "Coarse long": the same plate, exposure 8 s (shares a plate with 1)
//   3 "Fine": 0.05 mm layers (cannot share a plate with 1)
//   4 "Small panel": 0.1 mm layers on a 100 x 120 display (cannot share a plate with 1)
bool writeTestPrinters(const QString& dataDir);
constexpr double testPixelMm = 0.1;
constexpr int testPixelsX = 200;
constexpr int testPixelsY = 120;
constexpr double testLayerMm = 0.1;

#endif
