// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "mesh.h"
#include "projectfile.h"
#include "../shared/filebytes.h"
#include "../shared/testmodels.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

PlateObject objectOf(const TestModel& model, const Placement& placement)
{
    Mesh mesh;
    mesh.xyz = model.triangles;
    PlateObject object;
    object.sourcePath = QStringLiteral("/models/") + model.name + QStringLiteral(".stl");
    object.mesh = std::make_shared<const MeshData>(meshDataFromSoup(mesh));
    object.placement = placement;
    object.supportPoints = { QVector3D(0.1f, -2.3f, 1.0f / 3.0f), QVector3D(1e-7f, 4.5f, -3.25f) };
    return object;
}

// Two objects turned, scaled and moved by values no short decimal holds, with points, options
// that are not the defaults, a printer and job settings.
Project sampleProject()
{
    Project project;
    project.objects.append(objectOf(liftedSphere(),
        Placement { QVector3D(12.345678f, -7.1f, 0.3f), QVector3D(10.0f, 0.0f, 33.3f),
            QVector3D(1.1f, 1.1f, 0.9f) }));
    project.objects.append(objectOf(tiltedTShape(),
        Placement { QVector3D(-20.0f, 5.0f, 0.0f), QVector3D(0.0f, 90.0f, 1.0f / 7.0f),
            QVector3D(1.0f, 1.0f, 1.0f) }));
    project.supportsAutomatic = true;
    project.supportSettings.style = SupportSettings::Style::Branching;
    project.supportSettings.overhangAngleDeg = 52.5;
    project.supportSettings.density = 0.1 + 0.2;
    project.supportSettings.liftMm = 3.0;
    project.printerKey = QStringLiteral("127.0.0.1:8080");
    project.printerName = QStringLiteral("Desk printer");
    project.profileId = QStringLiteral("fine");
    project.job = QJsonObject { { QStringLiteral("exposure"), 2.5 } };
    return project;
}

}

// A saved plate comes back as it was, other 3MF readers find its meshes, and a damaged or
// foreign file is refused with a sentence.
class TestProjectFile : public QObject {
    Q_OBJECT

private slots:
    void savedAndReadGivesTheSamePlate()
    {
        const Project saved = sampleProject();
        QString error;
        const QByteArray bytes = ProjectFile::write(saved, error);
        QVERIFY2(!bytes.isEmpty(), qPrintable(error));
        QVERIFY(ProjectFile::isProject(bytes));
        Project read;
        QVERIFY2(ProjectFile::read(bytes, QStringLiteral("a.3mf"), read, error), qPrintable(error));
        QCOMPARE(read.objects.size(), saved.objects.size());
        for (int i = 0; i < saved.objects.size(); ++i) {
            const PlateObject& a = saved.objects.at(i);
            const PlateObject& b = read.objects.at(i);
            QCOMPARE(b.sourcePath, a.sourcePath);
            QVERIFY(b.placement == a.placement);
            QCOMPARE(b.supportPoints, a.supportPoints);
            QCOMPARE(b.mesh->triangleCount, a.mesh->triangleCount);
            QVERIFY(b.mesh->vertices == a.mesh->vertices);
        }
        QCOMPARE(read.supportsAutomatic, true);
        QVERIFY(read.supportSettings.style == SupportSettings::Style::Branching);
        QCOMPARE(read.supportSettings.overhangAngleDeg, 52.5);
        QCOMPARE(read.supportSettings.density, 0.1 + 0.2);
        QCOMPARE(read.supportSettings.liftMm, 3.0);
        QCOMPARE(read.printerKey, saved.printerKey);
        QCOMPARE(read.printerName, saved.printerName);
        QCOMPARE(read.profileId, saved.profileId);
        QCOMPARE(read.job, saved.job);
        // Saved again, the same plate gives the same bytes.
        QCOMPARE(ProjectFile::write(read, error), bytes);
    }

    void anotherReaderFindsTheMeshes()
    {
        const QString assimp = QStandardPaths::findExecutable(QStringLiteral("assimp"));
        QVERIFY2(!assimp.isEmpty(), "assimp (assimp-utils) is needed as the outside reader");
        QTemporaryDir dir;
        const Project project = sampleProject();
        const QString path = dir.filePath(QStringLiteral("plate.3mf"));
        QCOMPARE(ProjectFile::save(project, path), QString());
        QProcess process;
        process.start(assimp, { QStringLiteral("info"), path });
        QVERIFY(process.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(process.readAllStandardOutput());
        QCOMPARE(process.exitCode(), 0);
        const QRegularExpressionMatch faces
            = QRegularExpression(QStringLiteral("Faces:\\s*(\\d+)")).match(said);
        QVERIFY2(faces.hasMatch(), qPrintable(said));
        int triangles = 0;
        for (const PlateObject& object : project.objects)
            triangles += object.mesh->triangleCount;
        QCOMPARE(faces.captured(1).toInt(), triangles);
    }

    void refusedFileGivesASentenceAndChangesNothing_data()
    {
        QString error;
        const QByteArray good = ProjectFile::write(sampleProject(), error);
        Project model = sampleProject();
        QByteArray plain = good;
        // Our part renamed: a model any program could have written, not a project.
        plain.replace("Corvane/project.json", "Corvane/another.json");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("truncated") << good.left(good.size() / 2) << QString();
        QTest::newRow("cut before the end record") << good.left(good.size() - 10) << QString();
        QTest::newRow("not a zip") << QByteArray("solid cube\nendsolid\n") << QString();
        QTest::newRow("plain model") << plain << QStringLiteral("not a project");
        QByteArray flipped = good;
        // A byte inside the deflated model: its CRC no longer holds.
        flipped[good.size() / 3] = char(flipped[good.size() / 3] ^ 0x20);
        QTest::newRow("damaged model") << flipped << QString();
    }

    void refusedFileGivesASentenceAndChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        Project project;
        project.printerKey = QStringLiteral("kept");
        QString error;
        QVERIFY(!ProjectFile::read(bytes, QStringLiteral("plate.3mf"), project, error));
        QVERIFY2(error.startsWith(QStringLiteral("plate.3mf cannot be opened as a project: ")),
            qPrintable(error));
        QVERIFY(error.endsWith(QLatin1Char('.')));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(project.printerKey, QStringLiteral("kept"));
        QVERIFY(project.objects.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
