// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"
#include "zipentries.h"

#include <QDir>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QUrl>
#include <QtQuickTest>

// What the QML test needs besides the two QML types: a folder of its own and a
// look inside files.
class JobRoadFiles : public QObject {
    Q_OBJECT
    Q_PROPERTY(QUrl folder READ folder CONSTANT)

public:
    explicit JobRoadFiles(const QString& path)
        : m_path(path)
    {
    }

    QUrl folder() const { return QUrl::fromLocalFile(m_path); }

    Q_INVOKABLE bool exists(const QString& name) const
    {
        return QFile::exists(m_path + QLatin1Char('/') + name);
    }

    Q_INVOKABLE qint64 size(const QString& name) const
    {
        return QFileInfo(m_path + QLatin1Char('/') + name).size();
    }

    Q_INVOKABLE QStringList zipEntries(const QString& name) const
    {
        QFile file(m_path + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return zipEntryNames(file.readAll());
    }

private:
    QString m_path;
};

class JobRoadSetup : public QObject {
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        // The agent keeps its jobs and job files under the data folder: keep
        // them out of the user's home.
        qputenv(
            "XDG_DATA_HOME", QDir(m_data.path()).absoluteFilePath(QStringLiteral("data")).toUtf8());
        Startup::registerQmlTypes();
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        m_files.reset(new JobRoadFiles(m_work.path()));
        engine->rootContext()->setContextProperty(QStringLiteral("files"), m_files.data());
    }

private:
    QTemporaryDir m_data;
    QTemporaryDir m_work;
    QScopedPointer<JobRoadFiles> m_files;
};

QUICK_TEST_MAIN_WITH_SETUP(jobroad, JobRoadSetup)
#include "tst_jobroad.moc"
