// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A whole session from QML against a fake agent inside this test program:
// discovery, profiles, slicing with its progress, and the job download.
#include "fakeagent.h"
#include "netlib.h"

#include <QDir>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQuickTest>

// Registers the QML types, starts the fake agent with its scripted answers and
// hands the QML the places and the recorded requests it checks.
class AgentSession : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool agentListening READ agentListening CONSTANT)
    Q_PROPERTY(QUrl stlFolder READ stlFolder CONSTANT)
    Q_PROPERTY(QString stlFolderPath READ stlFolderPath CONSTANT)
    Q_PROPERTY(QString layersFolder READ layersFolder CONSTANT)
    Q_PROPERTY(QString jobSourcePath READ jobSourcePath CONSTANT)
    Q_PROPERTY(QString jobDestinationPath READ jobDestinationPath CONSTANT)
    Q_PROPERTY(QUrl jobDestination READ jobDestination CONSTANT)

public:
    bool agentListening() const { return m_listening; }
    QUrl stlFolder() const { return QUrl::fromLocalFile(stlFolderPath()); }
    QString stlFolderPath() const { return m_dir.filePath(QStringLiteral("stl")); }
    QString layersFolder() const { return m_dir.filePath(QStringLiteral("layers")); }
    QString jobSourcePath() const { return m_dir.filePath(QStringLiteral("agent-job.bin")); }
    QString jobDestinationPath() const { return m_dir.filePath(QStringLiteral("plate one.job")); }
    QUrl jobDestination() const { return QUrl::fromLocalFile(jobDestinationPath()); }

    Q_INVOKABLE QString fileText(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    Q_INVOKABLE void clearRequests() { m_agent.clearRequests(); }

    Q_INVOKABLE bool fileExists(const QString& path) const { return QFile::exists(path); }

    Q_INVOKABLE QStringList requestPaths() const
    {
        QStringList paths;
        for (const QByteArray& path : m_agent.paths())
            paths << QString::fromUtf8(path);
        return paths;
    }

    // Method, content type and body of the last request to path, one per line.
    Q_INVOKABLE QString lastRequest(const QString& path) const
    {
        const QList<AgentRequest> requests = m_agent.requestsTo(path.toUtf8());
        if (requests.isEmpty())
            return QString();
        const AgentRequest& request = requests.last();
        return QString::fromUtf8(request.method + '\n' + request.contentType + '\n' + request.body);
    }

public slots:
    void applicationAvailable()
    {
        NetLibrary::registerNetLibraryQML();
        if (!m_dir.isValid() || !QDir().mkpath(stlFolderPath()) || !QDir().mkpath(layersFolder()))
            return;
        QFile job(jobSourcePath());
        if (!job.open(QIODevice::WriteOnly) || job.write("sliced job") != 10)
            return;
        job.close();

        m_agent.setAnswer("/printer-details", 200,
            "{\"printers_array\":[{\"name\":\"Resin One\",\"ip\":\"10.0.0.7\",\"port\":\"80\","
            "\"profiles_array\":[{\"Title\":\"Fine\",\"ProfileID\":3,\"Depth\":50}]}]}");
        m_agent.setAnswer("/printer-profiles/10.0.0.7:80", 200,
            "[{\"Title\":\"Fine\",\"ProfileID\":3},{\"Title\":\"Draft\",\"ProfileID\":4}]");
        const QByteArray layers = "{\"path\":\"" + layersFolder().toUtf8() + "\"}";
        m_agent.setAnswer("/slice/preview", 200, layers);
        m_agent.setAnswer("/advanced-slice", 200, layers);
        m_agent.setAnswers("/slice",
            { { 200, QByteArray("{\"layerID\":\"1\",\"layerCount\":\"2\",\"percentage\":\"50\"}") },
                { 200,
                    QByteArray(
                        "{\"layerID\":\"2\",\"layerCount\":\"2\",\"percentage\":\"100\"}") } });
        m_agent.setAnswer(
            "/slice/download", 200, "{\"file\":\"" + jobSourcePath().toUtf8() + "\"}");
        m_listening = m_agent.listen();
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->rootContext()->setContextProperty(QStringLiteral("session"), this);
    }

private:
    FakeAgent m_agent;
    QTemporaryDir m_dir;
    bool m_listening = false;
};

QUICK_TEST_MAIN_WITH_SETUP(tst_agentsession, AgentSession)
#include "tst_agentsession.moc"
