// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfilemove.h"
#include "../shared/filebytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestJobFileMove : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_source = m_dir.filePath(QStringLiteral("agent-job.bin"));
        QVERIFY(writeFile(m_source, QByteArrayLiteral("job bytes")));
    }

    void cleanup()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void newDestination()
    {
        const QString destination = m_dir.filePath(QStringLiteral("saved job.bin"));
        QCOMPARE(moveJobFile(m_source, destination), QString());
        QCOMPARE(readFile(destination), QByteArrayLiteral("job bytes"));
        QVERIFY(!QFile::exists(m_source));
    }

    void existingDestination()
    {
        const QString destination = m_dir.filePath(QStringLiteral("old.bin"));
        QVERIFY(writeFile(destination, QByteArrayLiteral("older job")));
        QCOMPARE(moveJobFile(m_source, destination),
            QStringLiteral("The job file was not saved to %1: a file of that name already exists.")
                .arg(destination));
        QCOMPARE(readFile(destination), QByteArrayLiteral("older job"));
        QCOMPARE(readFile(m_source), QByteArrayLiteral("job bytes"));
    }

    void noDestination()
    {
        QCOMPARE(moveJobFile(m_source, QString()),
            QStringLiteral("The job file was not saved: no destination file was chosen."));
        QCOMPARE(readFile(m_source), QByteArrayLiteral("job bytes"));
    }

    void noSource()
    {
        const QString destination = m_dir.filePath(QStringLiteral("job.bin"));
        QCOMPARE(moveJobFile(QString(), destination),
            QStringLiteral("The job file was not saved to %1: the agent named no job file.")
                .arg(destination));
        QVERIFY(!QFile::exists(destination));
    }

    void missingSource()
    {
        const QString source = m_dir.filePath(QStringLiteral("gone.bin"));
        const QString destination = m_dir.filePath(QStringLiteral("job.bin"));
        QCOMPARE(moveJobFile(source, destination),
            QStringLiteral(
                "The job file was not saved to %1: the agent's job file %2 does not exist.")
                .arg(destination, source));
        QVERIFY(!QFile::exists(destination));
    }

    void destinationFolderMissing()
    {
        const QString destination = m_dir.filePath(QStringLiteral("no/such/folder/job.bin"));
        const QString message = moveJobFile(m_source, destination);
        QVERIFY(message.startsWith(
            QStringLiteral("The job file was not saved to %1: ").arg(destination)));
        QVERIFY(message.size() > destination.size() + 40);
        QCOMPARE(readFile(m_source), QByteArrayLiteral("job bytes"));
    }

private:
    QTemporaryDir m_dir;
    QString m_source;
};

QTEST_GUILESS_MAIN(TestJobFileMove)
#include "tst_jobfilemove.moc"
