// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A user's whole job in the real editor window, with the real agent: two model
// files on the command line, arrange, select, move, slice, look at a layer,
// save the job file; then the job file itself is checked. Screenshots of the
// main states land in the build folder. Needs OpenGL: runs under Xvfb.
#include "../shared/filebytes.h"
#include "startup.h"
#include "stlbuilder.h"
#include "testmodels.h"
#include "zipentries.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMetaProperty>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

namespace {

// The two models: a 20 x 15 x 10 mm block and a 12 x 12 x 8 mm one, so that
// the middle layer of the job cuts both.
const QVector3D blockSize(20, 15, 10);
const QVector3D cubeSize(12, 12, 8);

QVector3D vectorOf(const QVariant& value) { return value.value<QVector3D>(); }

}

class TestEditor : public QObject {
    Q_OBJECT

public:
    explicit TestEditor(const QString& work)
        : m_work(work)
    {
    }

private slots:
    void initTestCase()
    {
        // Mesa unloads its driver when the display closes, before
        // LeakSanitizer looks; pinned, its allocations stay attributable.
        dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
        Startup::setIdentity();
        Startup::registerQmlTypes();
        m_engine.reset(new QQmlApplicationEngine);
        Startup::publishContextProperties(*m_engine);
        m_engine->load(Startup::mainQmlUrl());
        QCOMPARE(m_engine->rootObjects().size(), 1);
        m_window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().constFirst());
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        // The window's shortcuts answer only in the window that has the keys.
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        m_plate = m_window->findChild<QAbstractItemModel*>(QStringLiteral("plateModel"));
        QVERIFY(m_plate);
        m_road = m_window->findChild<QObject*>(QStringLiteral("jobRoad"));
        QVERIFY(m_road);
        m_gate = m_window->findChild<QObject*>(QStringLiteral("frameGate"));
        QVERIFY(m_gate);
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        // Qt 3D tears its aspects down through deferred deletes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // The plates written for the agent went with the window.
        QCOMPARE(workFolders(), QStringList());
    }

    // The files named on the command line are on the plate, and the plate
    // follows the printer profile the agent offered first.
    void opensCommandLineFiles()
    {
        QTRY_COMPARE_WITH_TIMEOUT(m_plate->rowCount(), 2, 30000);
        QCOMPARE(data(0, "name").toString(), QStringLiteral("block.stl"));
        QCOMPARE(data(1, "name").toString(), QStringLiteral("cube.stl"));
        QCOMPARE(vectorOf(data(0, "size")), blockSize);
        QObject* printers = m_window->findChild<QObject*>(QStringLiteral("printerChoice"));
        QVERIFY(printers);
        QTRY_VERIFY_WITH_TIMEOUT(
            printers->property("profile").toMap().contains(QStringLiteral("PixelsX")), 60000);
        m_profile = printers->property("profile").toMap();
        const qreal width = m_profile.value(QStringLiteral("PixelsX")).toDouble()
            * m_profile.value(QStringLiteral("PixelSizeX")).toDouble() / 1000;
        QTRY_VERIFY(qAbs(m_plate->property("plateWidth").toReal() - width) < 0.001);
        // Both stand on the plate, side by side.
        for (int row = 0; row < 2; ++row)
            QCOMPARE(vectorOf(data(row, "boundsMin")).z(), 0.0f);
        QVERIFY(!overlap(0, 1));
        shoot(QStringLiteral("opened"));
    }

    // A file that cannot be read is named with its reason, and the plate
    // stays as it was.
    void reportsAFileItCannotRead()
    {
        const QString path = m_work + QStringLiteral("/broken.stl");
        QFile broken(path);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        QVERIFY(broken.write(QByteArray(80, 'x') + QByteArray("\x05\x00\x00\x00", 4)) == 84);
        broken.close();
        QVERIFY(QMetaObject::invokeMethod(
            m_window, "openPaths", Q_ARG(QVariant, QVariant(QStringList { path }))));
        QObject* errors = m_window->findChild<QObject*>(QStringLiteral("openErrors"));
        QVERIFY(errors);
        QTRY_VERIFY_WITH_TIMEOUT(errors->property("opened").toBool(), 20000);
        QVERIFY2(errors->property("text").toString().contains(QStringLiteral("broken.stl")),
            qPrintable(errors->property("text").toString()));
        QCOMPARE(m_plate->rowCount(), 2);
        QVERIFY(QMetaObject::invokeMethod(errors, "close"));
        QTRY_VERIFY(!errors->property("visible").toBool());
    }

    void arrangesAndMoves()
    {
        click(QStringLiteral("arrangeButton"));
        QVERIFY(!overlap(0, 1));
        QCOMPARE(m_plate->property("canUndo").toBool(), true);
        shoot(QStringLiteral("arranged"));

        // Select the block in the list, then type its new x position.
        click(QStringLiteral("objectRow0"));
        QCOMPARE(m_plate->property("selectedRow").toInt(), 0);
        const QVector3D before = vectorOf(data(0, "translation"));
        typeInto(QStringLiteral("moveX"), QStringLiteral("-30"));
        QCOMPARE(vectorOf(data(0, "translation")), QVector3D(-30, before.y(), before.z()));

        // Undo and redo by their keys.
        QTest::keyClick(m_window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(vectorOf(data(0, "translation")), before);
        QTest::keyClick(m_window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(vectorOf(data(0, "translation")).x(), -30.0f);
        QVERIFY(!overlap(0, 1));
    }

    // An object reaching off the plate stops the slicing with a sentence that
    // names it; undoing the move makes the plate sliceable again.
    void refusesObjectsOutside()
    {
        typeInto(QStringLiteral("moveX"), QStringLiteral("500"));
        QCOMPARE(data(0, "outside").toBool(), true);
        click(QStringLiteral("sliceButton"));
        QCOMPARE(phase(), QStringLiteral("failed"));
        QVERIFY2(m_road->property("message").toString().contains(QStringLiteral("block.stl")),
            qPrintable(m_road->property("message").toString()));
        QTest::keyClick(m_window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(data(0, "outside").toBool(), false);
    }

    void slicesAndShowsALayer()
    {
        click(QStringLiteral("sliceButton"));
        QVERIFY(phase() == QStringLiteral("slicing") || phase() == QStringLiteral("sliced"));
        shoot(QStringLiteral("slicing"));
        QTRY_COMPARE_WITH_TIMEOUT(phase(), QStringLiteral("sliced"), 180000);
        const int layers = m_road->property("layerCount").toInt();
        const qreal depthMm = m_profile.value(QStringLiteral("Depth")).toDouble() / 1000;
        QCOMPARE(layers, qRound(blockSize.z() / depthMm));

        // Page Up steps one layer up; the preview shows that layer's image.
        QQuickItem* slider = item(QStringLiteral("layerSlider"));
        QTRY_VERIFY(slider->isVisible());
        clickView();
        m_middle = layers / 2;
        for (int i = 0; i < m_middle; ++i)
            QTest::keyClick(m_window, Qt::Key_PageUp);
        QCOMPARE(slider->property("value").toInt(), m_middle);
        QTest::keyClick(m_window, Qt::Key_PageDown);
        QCOMPARE(slider->property("value").toInt(), m_middle - 1);
        QTest::keyClick(m_window, Qt::Key_PageUp);
        QObject* view = m_window->findChild<QObject*>(QStringLiteral("plateView"));
        const QUrl image = view->property("previewSource").toUrl();
        QVERIFY2(QFile::exists(image.toLocalFile()), qPrintable(image.toString()));
        QVERIFY(view->property("previewVisible").toBool());
        shoot(QStringLiteral("preview"));
        // The cut through both models, in the white of cured resin, lies on
        // the plate.
        QVERIFY(whitePixels() > 1000);
    }

    void savesTheJob()
    {
        const QString path = m_work + QStringLiteral("/plate job.sl1");
        saveJob(path);
        verifyJobFile(path);
        if (QTest::currentTestFailed())
            return;

        // A file in the way is replaced only after the user's yes; "No"
        // keeps it as it was.
        QVERIFY(writeFile(path, "an older job"));
        QVERIFY(QMetaObject::invokeMethod(
            m_window, "saveJobTo", Q_ARG(QVariant, QVariant(QUrl::fromLocalFile(path)))));
        QObject* question = m_window->findChild<QObject*>(QStringLiteral("replaceQuestion"));
        QVERIFY(question);
        QTRY_VERIFY(question->property("opened").toBool());
        QVERIFY(QMetaObject::invokeMethod(question, "reject"));
        QCOMPARE(m_road->property("busy").toBool(), false);
        QCOMPARE(readFile(path), QByteArray("an older job"));

        QVERIFY(QMetaObject::invokeMethod(
            m_window, "saveJobTo", Q_ARG(QVariant, QVariant(QUrl::fromLocalFile(path)))));
        QTRY_VERIFY(question->property("opened").toBool());
        QVERIFY(QMetaObject::invokeMethod(question, "accept"));
        QTRY_COMPARE_WITH_TIMEOUT(m_road->property("busy").toBool(), false, 60000);
        verifyJobFile(path);
        // Nothing is left under the fresh name the job was saved to first.
        QCOMPARE(QDir(m_work).entryList(
                     QStringList { QStringLiteral(".*.sl1") }, QDir::Files | QDir::Hidden),
            QStringList());
    }

    // With multi-item slicing on, each object goes to the agent as a file of
    // its own with its own profile; the job is the same plate.
    void slicesEachObjectOnItsOwn()
    {
        m_engine->rootContext()->setContextProperty(
            QStringLiteral("IS_MULTI_ITEM_SLICING_ENABLED"), 1);
        // The models back in view, as a user slicing again would have them.
        // (A layer image dropped while the next job starts has once frozen
        // Qt 3D's frame wait here; that hang is not this test's subject.)
        click(QStringLiteral("showLayers"));
        QTRY_VERIFY(!m_window->findChild<QObject*>(QStringLiteral("plateView"))
                         ->property("previewVisible")
                         .toBool());
        click(QStringLiteral("sliceButton"));
        QTRY_COMPARE_WITH_TIMEOUT(phase(), QStringLiteral("sliced"), 180000);
        m_engine->rootContext()->setContextProperty(
            QStringLiteral("IS_MULTI_ITEM_SLICING_ENABLED"), 0);
        const QStringList folders = workFolders();
        QCOMPARE(folders.size(), 1);
        const QDir folder(m_work + QLatin1Char('/') + folders.constFirst());
        QVERIFY(folder.exists(QStringLiteral("plate-1.stl")));
        QVERIFY(folder.exists(QStringLiteral("plate-2.stl")));
        const QString path = m_work + QStringLiteral("/each object.sl1");
        saveJob(path);
        verifyJobFile(path);
    }

    // A model with a rim hanging in mid-air: its slice reports islands, listed beside the
    // layers, and a click on one shows its layer; with automatic supports from the side panel
    // the next slice reports none.
    void supportsHoldTheIslands()
    {
        const QString path = m_work + QStringLiteral("/mushroom.stl");
        QVERIFY(StlBuilder().triangles(mushroom().triangles).write(path));
        QVERIFY(QMetaObject::invokeMethod(
            m_window, "openPaths", Q_ARG(QVariant, QVariant(QStringList { path }))));
        QTRY_COMPARE_WITH_TIMEOUT(m_plate->rowCount(), 3, 30000);
        const int row = 2;

        QJsonObject plate;
        QVERIFY(sliceAndReadPlate(plate));
        const int islands = plate.value(QStringLiteral("islandCount")).toInt();
        QVERIFY(islands > 0);
        QQuickItem* summary = item(QStringLiteral("islandSummary"));
        QTRY_VERIFY(summary && summary->isVisible());
        QVERIFY2(summary->property("text").toString().startsWith(QString::number(islands)),
            qPrintable(summary->property("text").toString()));
        const int firstLayer = plate.value(QStringLiteral("islands"))
                                   .toArray()
                                   .first()
                                   .toObject()
                                   .value(QStringLiteral("layer"))
                                   .toInt();
        // The list grows to its entries once they are laid out.
        QQuickItem* list = item(QStringLiteral("islandList"));
        QTRY_VERIFY(list && item(QStringLiteral("island0"))
            && list->height() >= item(QStringLiteral("island0"))->height());
        click(QStringLiteral("island0"));
        QCOMPARE(item(QStringLiteral("layerSlider"))->property("value").toInt(), firstLayer);
        shoot(QStringLiteral("islands"));

        // Supports on, and generated for the mushroom from the side panel.
        click(QStringLiteral("objectRow2"));
        QCOMPARE(m_plate->property("selectedRow").toInt(), row);
        click(QStringLiteral("supportsTab"));
        QObject* options = m_window->findChild<QObject*>(QStringLiteral("supportOptions"));
        QVERIFY(options);
        QVERIFY(options->setProperty("automatic", true));
        QObject* generator = m_window->findChild<QObject*>(QStringLiteral("supportGenerator"));
        QVERIFY(generator);
        QSignalSpy generated(generator, SIGNAL(finished(bool)));
        click(QStringLiteral("supportsGenerate"));
        QVERIFY(!generated.isEmpty() || generated.wait(60000));
        QCOMPARE(generated.first().first().toBool(), true);
        QVERIFY(data(row, "supportPoints").toList().size() > 0);
        // The mushroom stands lifted on its supports, once they are built.
        QTRY_VERIFY_WITH_TIMEOUT(!m_plate->property("supportsBusy").toBool(), 60000);
        qreal lift = 0;
        QVERIFY(QMetaObject::invokeMethod(
            m_plate, "liftAt", Q_RETURN_ARG(qreal, lift), Q_ARG(int, row)));
        QVERIFY(lift > 0);

        QVERIFY(sliceAndReadPlate(plate));
        QCOMPARE(plate.value(QStringLiteral("islandCount")).toInt(), 0);
        QTRY_COMPARE(summary->property("text").toString(), QStringLiteral("No islands"));
        shoot(QStringLiteral("supported"));
    }

private:
    void saveJob(const QString& path)
    {
        QVERIFY(QMetaObject::invokeMethod(
            m_window, "saveJobTo", Q_ARG(QVariant, QVariant(QUrl::fromLocalFile(path)))));
        QTRY_COMPARE_WITH_TIMEOUT(m_road->property("busy").toBool(), false, 60000);
        QVERIFY2(QFile::exists(path), qPrintable(m_road->property("message").toString()));
    }

    // The job file holds every layer, and its middle layer is cured under
    // the middle of each model, and not in the plate's corner.
    void verifyJobFile(const QString& path)
    {
        const QByteArray zip = readFile(path);
        QStringList layers = zipEntryNames(zip).filter(
            QRegularExpression(QStringLiteral("^[^/]*[0-9]{5}\\.png$")));
        layers.sort();
        QCOMPARE(layers.size(), m_road->property("layerCount").toInt());
        const QImage middle = QImage::fromData(zipStoredEntry(zip, layers.at(m_middle)), "PNG");
        QVERIFY(!middle.isNull());
        QCOMPARE(middle.width(), m_profile.value(QStringLiteral("PixelsX")).toInt());
        for (int row = 0; row < 2; ++row) {
            const QVector3D centre
                = (vectorOf(data(row, "boundsMin")) + vectorOf(data(row, "boundsMax"))) / 2;
            const QPoint pixel = pixelOf(centre, middle.size());
            QVERIFY2(qGray(middle.pixel(pixel)) >= 128,
                qPrintable(
                    QStringLiteral("row %1 at %2,%3").arg(row).arg(pixel.x()).arg(pixel.y())));
        }
        QCOMPARE(qGray(middle.pixel(2, 2)), 0);
    }

    // Slices the plate from the window and reads the plate document the agent left beside the
    // layer images.
    bool sliceAndReadPlate(QJsonObject& plate)
    {
        click(QStringLiteral("sliceButton"));
        if (!QTest::qWaitFor([this] { return phase() == QLatin1String("sliced"); }, 180000))
            return false;
        QObject* netlib = m_window->findChild<QObject*>(QStringLiteral("netlib"));
        QFile file(
            netlib->property("pathOfLayerImages").toString() + QStringLiteral("/plate.json"));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        plate = QJsonDocument::fromJson(file.readAll()).object();
        return !plate.isEmpty();
    }

    // The working folders the window made in the temporary folder.
    QStringList workFolders() const
    {
        return QDir(m_work).entryList(
            QStringList { QStringLiteral("corvane-*") }, QDir::Dirs | QDir::Files | QDir::Hidden);
    }

    QVariant data(int row, const char* role) const
    {
        return m_plate->data(m_plate->index(row, 0), m_plate->roleNames().key(role));
    }

    bool overlap(int a, int b) const
    {
        const QVector3D lowA = vectorOf(data(a, "boundsMin"));
        const QVector3D highA = vectorOf(data(a, "boundsMax"));
        const QVector3D lowB = vectorOf(data(b, "boundsMin"));
        const QVector3D highB = vectorOf(data(b, "boundsMax"));
        return lowA.x() < highB.x() && lowB.x() < highA.x() && lowA.y() < highB.y()
            && lowB.y() < highA.y();
    }

    // Where a plate point falls in a layer image: the plate's centre in the
    // image's centre, +x right and +y up unless the profile mirrors them.
    QPoint pixelOf(const QVector3D& point, const QSize& size) const
    {
        const qreal pixelX = m_profile.value(QStringLiteral("PixelSizeX")).toDouble() / 1000;
        qreal pixelY = m_profile.value(QStringLiteral("PixelSizeY")).toDouble() / 1000;
        if (pixelY <= 0)
            pixelY = pixelX;
        qreal x = point.x() / pixelX;
        qreal y = point.y() / pixelY;
        if (m_profile.value(QStringLiteral("MirrorX")).toBool())
            x = -x;
        if (m_profile.value(QStringLiteral("MirrorY")).toBool())
            y = -y;
        return QPoint(int(size.width() / 2 + x), int(size.height() / 2 - y));
    }

    // Searched in the visual tree: the items that views and repeaters make
    // are not the QObject children of anything in the window.
    QQuickItem* item(const QString& name) const
    {
        QQuickItem* found = findItem(m_window->contentItem(), name);
        if (!found)
            qWarning("no item named %s", qPrintable(name));
        return found;
    }

    static QQuickItem* findItem(QQuickItem* parent, const QString& name)
    {
        const QList<QQuickItem*> children = parent->childItems();
        for (QQuickItem* child : children) {
            if (child->objectName() == name)
                return child;
            if (QQuickItem* found = findItem(child, name))
                return found;
        }
        return nullptr;
    }

    void click(const QString& name)
    {
        QQuickItem* target = item(name);
        QVERIFY(target);
        QTRY_VERIFY(target->isVisible() && target->isEnabled());
        const QPointF centre
            = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }

    // A click on an empty corner of the 3D view: takes the keyboard focus
    // away from any field.
    void clickView()
    {
        QQuickItem* view = item(QStringLiteral("plateView"));
        QVERIFY(view);
        const QPointF corner = view->mapToScene(QPointF(view->width() - 150, view->height() - 40));
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, corner.toPoint());
        QTRY_VERIFY(view->hasActiveFocus());
    }

    void typeInto(const QString& name, const QString& text)
    {
        click(name);
        QQuickItem* field = item(name);
        QTRY_VERIFY(field->hasActiveFocus());
        QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
        for (const QChar c : text)
            QTest::keyClick(m_window, c.toLatin1());
        QTest::keyClick(m_window, Qt::Key_Return);
    }

    // Waits until the window has drawn the latest state and gone idle, then
    // saves what it shows.
    void shoot(const QString& state)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!m_gate->property("open").toBool(), 20000);
        const QImage image = m_window->grabWindow();
        QVERIFY(!image.isNull());
        const QString path = QStringLiteral(CORVANE_SCREENSHOT_DIR "/editor-%1.png").arg(state);
        QVERIFY(image.save(path));
        // The 3D view shows more than its background colour.
        QQuickItem* view = item(QStringLiteral("plateView"));
        const QRectF area = view->mapRectToScene(QRectF(0, 0, view->width(), view->height()));
        const qreal scale = image.width() / qreal(m_window->width());
        QSet<QRgb> colours;
        for (qreal y = area.top() + 100; y < area.bottom() - 40; y += 10) {
            for (qreal x = area.left() + 10; x < area.right() - 120; x += 10)
                colours.insert(image.pixel(int(x * scale), int(y * scale)));
        }
        QVERIFY2(colours.size() > 3, qPrintable(path));
        m_shotOfView = image.copy(QRectF(area.topLeft() * scale, area.size() * scale).toRect());
    }

    // Pixels of the 3D view in the last screenshot as white as the cured
    // parts of a layer image.
    int whitePixels() const
    {
        int white = 0;
        for (int y = 0; y < m_shotOfView.height(); ++y) {
            for (int x = 0; x < m_shotOfView.width(); ++x)
                white += m_shotOfView.pixel(x, y) == qRgb(255, 255, 255);
        }
        return white;
    }

    QString m_work;
    QScopedPointer<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
    QAbstractItemModel* m_plate = nullptr;
    QObject* m_road = nullptr;
    QObject* m_gate = nullptr;
    QVariantMap m_profile;

    // The road's phase by its name in lower case ("sliced").
    QString phase() const
    {
        const QMetaObject* meta = m_road->metaObject();
        const QMetaProperty property = meta->property(meta->indexOfProperty("phase"));
        return QString::fromLatin1(property.enumerator().valueToKey(property.read(m_road).toInt()))
            .toLower();
    }
    int m_middle = 0;
    QImage m_shotOfView;
};

int main(int argc, char** argv)
{
    // Settings, agent data and models stay in folders of the test's own.
    QTemporaryDir home;
    QTemporaryDir work;
    if (!home.isValid() || !work.isValid())
        return 1;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    // The plate the editor writes for the agent goes to the temporary folder.
    qputenv("TMPDIR", work.path().toUtf8());
    const QString block = work.path() + QStringLiteral("/block.stl");
    const QString cube = work.path() + QStringLiteral("/cube.stl");
    if (!StlBuilder().box(QVector3D(0, 0, 0), blockSize).write(block)
        || !StlBuilder().box(QVector3D(0, 0, 0), cubeSize).write(cube))
        return 1;

    // The program's command line as a user gives it: the two model files.
    QByteArray program(argv[0]);
    QByteArray first = block.toLocal8Bit();
    QByteArray second = cube.toLocal8Bit();
    char* arguments[] = { program.data(), first.data(), second.data(), nullptr };
    int count = 3;
    QApplication app(count, arguments);
    TestEditor test(work.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_editor.moc"
