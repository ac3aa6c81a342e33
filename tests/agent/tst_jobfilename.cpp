// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobfilename.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestJobFileName : public QObject {
    Q_OBJECT

private slots:
    void makesSafeStems_data();
    void makesSafeStems();
    void claimsNewNames();
    void reportsUnwritableFolder();
};

void TestJobFileName::makesSafeStems_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("stem");
    QTest::newRow("plain") << QByteArray("plate1") << QByteArray("plate1");
    QTest::newRow("spaces") << QByteArray("job one") << QByteArray("job_one");
    QTest::newRow("path escape") << QByteArray("../../etc/passwd")
                                 << QByteArray("job.._.._etc_passwd");
    QTest::newRow("hidden") << QByteArray(".x") << QByteArray("job.x");
    QTest::newRow("empty") << QByteArray() << QByteArray("job");
    QTest::newRow("utf-8 bytes") << QByteArray("\xc3\xa9t\xc3\xa9") << QByteArray("__t__");
    QTest::newRow("cut at 64") << QByteArray(100, 'a') << QByteArray(64, 'a');
}

void TestJobFileName::makesSafeStems()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, stem);
    QCOMPARE(QByteArray::fromStdString(jobFileStem(name.toStdString())), stem);
}

void TestJobFileName::claimsNewNames()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string folder = dir.path().toStdString();
    const auto finished = [&dir](const char* name) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::WriteOnly) && file.write("PK") == 2
            ? file.fileName().toStdString()
            : std::string();
    };
    std::string first;
    std::string second;
    std::string third;
    std::string error;
    QVERIFY(publishJobFile(finished("a.part-AAAAAA"), folder, "my job", ".sl1", first, error));
    QVERIFY(publishJobFile(finished("b.part-BBBBBB"), folder, "my job", ".sl1", second, error));
    QCOMPARE(QString::fromStdString(first), dir.filePath(QStringLiteral("my_job.sl1")));
    QCOMPARE(QString::fromStdString(second), dir.filePath(QStringLiteral("my_job-2.sl1")));
    // A name stays taken while its file exists; a freed one is handed out again.
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("a.part-AAAAAA"))));
    QVERIFY(QFile::remove(QString::fromStdString(first)));
    QVERIFY(publishJobFile(finished("c.part-CCCCCC"), folder, "my job", ".sl1", third, error));
    QCOMPARE(third, first);

    // What a killed download leaves goes at the next start; finished files stay.
    finished("d.sl1.part-DDDDDD");
    QVERIFY(QFile(dir.filePath(QStringLiteral("empty.sl1"))).open(QIODevice::WriteOnly));
    removeUnfinishedJobFiles(folder);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
        QStringList({ QStringLiteral("my_job-2.sl1"), QStringLiteral("my_job.sl1") }));
}

void TestJobFileName::reportsUnwritableFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string missing = dir.filePath(QStringLiteral("missing")).toStdString();
    std::string path;
    std::string error;
    QVERIFY(!publishJobFile(missing + "/x.part-XXXXXX", missing, "job", ".sl1", path, error));
    QCOMPARE(QString::fromStdString(error),
        QStringLiteral("The agent cannot create a job file in %1: No such file or directory.")
            .arg(QString::fromStdString(missing)));
}

QTEST_GUILESS_MAIN(TestJobFileName)
#include "tst_jobfilename.moc"
