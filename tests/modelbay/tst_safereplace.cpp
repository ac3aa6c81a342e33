// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "safereplace.h"
#include "../shared/filebytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// Replacing a file the user agreed to replace: the old bytes stay until the
// new file takes the name whole, and a failed replace leaves no stray file.
class TestSafeReplace : public QObject {
    Q_OBJECT

private slots:
    void freshNameLiesBesideAndIsFree_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("job file") << QStringLiteral("plate job.sl1") << QStringLiteral("sl1");
        // The export appends ".stl" to any other name: the suffix must stay.
        QTest::newRow("stl") << QStringLiteral("plate.stl") << QStringLiteral("stl");
        QTest::newRow("no suffix") << QStringLiteral("plate") << QString();
    }

    void freshNameLiesBesideAndIsFree()
    {
        QFETCH(QString, name);
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath(name);
        QVERIFY(writeFile(target, "old"));
        const QString fresh = SafeReplace::freshPathBeside(target);
        const QFileInfo info(fresh);
        QCOMPARE(info.absolutePath(), QFileInfo(target).absolutePath());
        QVERIFY(!info.exists());
        QCOMPARE(info.suffix() == suffix || suffix.isEmpty(), true);
        QVERIFY(fresh != target);
    }

    void replacesTheOldFileWhole()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath(QStringLiteral("job.sl1"));
        QVERIFY(writeFile(target, "old job"));
        const QString fresh = SafeReplace::freshPathBeside(target);
        QVERIFY(writeFile(fresh, "new job"));
        QCOMPARE(SafeReplace::replace(fresh, target), QString());
        QCOMPARE(readFile(target), QByteArray("new job"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList { QStringLiteral("job.sl1") });
    }

    // A folder in the way cannot be replaced by a file: the user hears why,
    // it stays, and the fresh file is gone.
    void keepsWhatItCannotReplace()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString target = dir.filePath(QStringLiteral("job.sl1"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("job.sl1")));
        QVERIFY(writeFile(target + QStringLiteral("/inside"), "kept"));
        const QString fresh = SafeReplace::freshPathBeside(target);
        QVERIFY(writeFile(fresh, "new job"));
        const QString failure = SafeReplace::replace(fresh, target);
        QVERIFY(failure.contains(target));
        QVERIFY(!QFile::exists(fresh));
        QCOMPARE(readFile(target + QStringLiteral("/inside")), QByteArray("kept"));
    }
};

QTEST_GUILESS_MAIN(TestSafeReplace)
#include "tst_safereplace.moc"
