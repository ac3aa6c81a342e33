// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "mesh.h"
#include "platemodel.h"
#include "plateobject.h"
#include "projectdocument.h"
#include "supportoptions.h"
#include "../shared/filebytes.h"
#include "../shared/testmodels.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {

QVector<PlateObject> twoObjects()
{
    QVector<PlateObject> objects;
    const TestModel models[] = { liftedSphere(), twinBlocks() };
    float x = -15.0f;
    for (const TestModel& model : models) {
        Mesh mesh;
        mesh.xyz = model.triangles;
        PlateObject object;
        object.sourcePath = QStringLiteral("/models/") + model.name + QStringLiteral(".stl");
        object.mesh = std::make_shared<const MeshData>(meshDataFromSoup(mesh));
        object.placement.translation = QVector3D(x, 2.5f, 0.0f);
        object.placement.rotation = QVector3D(0.0f, 0.0f, 17.0f);
        object.supportPoints = { QVector3D(0.5f, 0.25f, -1.0f) };
        objects.append(object);
        x += 30.0f;
    }
    return objects;
}

}

// The document's decisions: when closing must ask, what each answer does, what opening a project
// restores, and the recovery copy a crashed window leaves.
class TestProjectDocument : public QObject {
    Q_OBJECT

private slots:
    void closingAsksOnlyWithUnsavedChanges()
    {
        QTemporaryDir dir;
        PlateModel plate;
        ProjectDocument document;
        document.setRecoveryFolder(dir.filePath(QStringLiteral("recovery")));
        document.setPlate(&plate);
        QVERIFY(!document.mustAsk()); // nothing done yet
        QVERIFY(!document.title().startsWith(QLatin1Char('*')));

        plate.replaceAll(twoObjects());
        plate.moveBy(0, 1.0, 0.0, false);
        QVERIFY(document.mustAsk());
        QVERIFY(document.title().startsWith(QStringLiteral("*Untitled")));
        QVERIFY(!document.proceedAfter(ProjectDocument::Cancel));
        // Save without a file yet: the window must ask where first.
        QVERIFY(!document.proceedAfter(ProjectDocument::Save));
        QVERIFY(document.proceedAfter(ProjectDocument::Discard));

        const QString path = dir.filePath(QStringLiteral("desk.3mf"));
        QCOMPARE(document.saveAs(QUrl::fromLocalFile(path)), QString());
        QVERIFY(!document.mustAsk());
        QCOMPARE(document.title(), QStringLiteral("desk — Corvane"));

        plate.supportOptions()->setLift(7.0);
        QVERIFY(document.mustAsk());
        QVERIFY(document.proceedAfter(ProjectDocument::Save));
        QVERIFY(!document.mustAsk());

        plate.moveBy(1, 0.0, 2.0, false);
        QVERIFY(document.mustAsk());
        plate.undo(); // back where it was saved
        QVERIFY(!document.mustAsk());
    }

    void openingRestoresThePlateWithAFreshHistory()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("desk.3mf"));
        PlateModel saved;
        {
            ProjectDocument document;
            document.setRecoveryFolder(dir.filePath(QStringLiteral("recovery")));
            document.setSettingsFile(dir.filePath(QStringLiteral("settings.ini")));
            document.setPlate(&saved);
            saved.replaceAll(twoObjects());
            saved.supportOptions()->setPad(0.7);
            saved.moveBy(0, 3.5, -1.25, false);
            QCOMPARE(document.saveAs(QUrl::fromLocalFile(path)), QString());
            QCOMPARE(document.recentProjects(), QStringList { path });
        }

        PlateModel plate;
        ProjectDocument document;
        document.setRecoveryFolder(dir.filePath(QStringLiteral("recovery")));
        document.setPlate(&plate);
        plate.replaceAll(twoObjects().mid(0, 1));
        plate.moveBy(0, 1.0, 1.0, false);
        QCOMPARE(document.open(QUrl::fromLocalFile(path)), QString());
        QCOMPARE(plate.count(), 2);
        for (int row = 0; row < 2; ++row) {
            QVERIFY(plate.placementAt(row) == saved.placementAt(row));
            QCOMPARE(plate.supportPointsAt(row), saved.supportPointsAt(row));
            QVERIFY(plate.meshAt(row)->vertices == saved.meshAt(row)->vertices);
        }
        QCOMPARE(plate.supportOptions()->pad(), 0.7);
        QVERIFY(!plate.canUndo());
        QVERIFY(!document.mustAsk());
        QCOMPARE(document.fileUrl(), QUrl::fromLocalFile(path));

        // A truncated project is refused with a sentence and leaves the plate as it was.
        const QString broken = dir.filePath(QStringLiteral("broken.3mf"));
        QVERIFY(writeFile(broken, readFile(path).left(200)));
        plate.moveBy(1, 1.0, 0.0, false);
        const Placement before = plate.placementAt(1);
        const QString error = document.open(QUrl::fromLocalFile(broken));
        QVERIFY2(
            error.startsWith(QStringLiteral("broken.3mf cannot be opened")), qPrintable(error));
        QCOMPARE(plate.count(), 2);
        QVERIFY(plate.placementAt(1) == before);
        QVERIFY(plate.canUndo());
        QCOMPARE(document.fileUrl(), QUrl::fromLocalFile(path));
    }

    void aCrashedWindowsCopyIsOfferedAndRestored()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("recovery"));
        PlateModel plate;
        ProjectDocument document;
        document.setRecoveryFolder(folder);
        document.setPlate(&plate);
        QVERIFY(!document.writeRecovery()); // nothing unsaved
        plate.replaceAll(twoObjects());
        plate.moveBy(0, 4.0, 0.0, false);
        QSignalSpy written(&document, &ProjectDocument::recoveryWritten);
        QVERIFY(document.writeRecovery());
        QVERIFY(written.wait());
        QCOMPARE(written.first().first().toString(), QString());
        QVERIFY(QFile::exists(document.recoveryPath()));
        QVERIFY(!document.writeRecovery()); // nothing changed since

        PlateModel other;
        ProjectDocument next;
        next.setRecoveryFolder(folder);
        next.setPlate(&other);
        // The running window's copy is its own, not an orphan.
        QCOMPARE(next.orphanedRecovery(), QString());
        // A window that ended without closing leaves its copy without a live lock.
        const QString orphan = folder + QStringLiteral("/recovery-999999999.3mf");
        QVERIFY(QFile::copy(document.recoveryPath(), orphan));
        QCOMPARE(next.orphanedRecovery(), orphan);
        QCOMPARE(next.restoreRecovery(orphan), QString());
        QCOMPARE(other.count(), 2);
        QVERIFY(other.placementAt(0) == plate.placementAt(0));
        QVERIFY(next.mustAsk());
        QVERIFY(next.fileUrl().isEmpty());
        QVERIFY(!QFile::exists(orphan));

        // Saved, the copy is not needed any more.
        QCOMPARE(
            document.saveAs(QUrl::fromLocalFile(dir.filePath(QStringLiteral("a.3mf")))), QString());
        QVERIFY(!QFile::exists(document.recoveryPath()));
    }
};

QTEST_MAIN(TestProjectDocument)
#include "tst_projectdocument.moc"
