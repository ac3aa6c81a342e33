// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window under a seeded run of random user steps (view buttons, orbits, drags,
// selections, layer steps, Undo, Arrange, Generate and Slice with the real agent), while a
// watchdog thread aborts the run when the main thread stays away from its event loop for 5 s:
// a window that waits on Qt 3D for a frame it never draws fails here. Needs OpenGL: runs under
// Xvfb.
//
// The same driver runs long: CORVANE_STRESS_STEPS sets the step count (48 by default),
// CORVANE_STRESS_SEED the seed, and CORVANE_STRESS_BIG=1 adds a million-triangle sphere;
// with CORVANE_STRESS_BACKTRACE set, a stall prints every thread's stack through gdb.
#include "../shared/testmodels.h"
#include "spherestl.h"
#include "startup.h"
#include "stlbuilder.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>

namespace {

// CORVANE_STRESS_STALL_MS raises it for long runs on a loaded machine, where one frame of the
// million-triangle sphere can take seconds of software rendering.
const int stallLimitMs = qMax(5000, qEnvironmentVariableIntValue("CORVANE_STRESS_STALL_MS"));

// Watches the main thread's heartbeat, a timer that fires whenever its event loop (or a nested
// one) runs; a beat older than the limit ends the process with the step it hung in.
class Watchdog : public QThread {
public:
    void beat() { m_lastBeat.store(m_clock.elapsed()); }
    void setStep(int step, const char* action)
    {
        m_step.store(step);
        m_action.store(action);
    }
    void stop()
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_stopped.wakeAll();
    }

protected:
    void run() override
    {
        QMutexLocker lock(&m_mutex);
        while (!m_stopping) {
            m_stopped.wait(&m_mutex, 250);
            const qint64 silent = m_clock.elapsed() - m_lastBeat.load();
            if (!m_stopping && silent > stallLimitMs) {
                std::fprintf(stderr,
                    "FAIL: the main thread has not returned to its event loop for %lld ms, at "
                    "step %d (%s)\n",
                    static_cast<long long>(silent), m_step.load(), m_action.load());
                std::fflush(stderr);
                // Every thread's stack, to see what the main thread waits for.
                if (qEnvironmentVariableIsSet("CORVANE_STRESS_BACKTRACE"))
                    std::system(qPrintable(
                        QStringLiteral("gdb -p %1 -batch -ex 'thread apply all bt 30' 1>&2")
                            .arg(QCoreApplication::applicationPid())));
                std::abort();
            }
        }
    }

public:
    Watchdog() { m_clock.start(); }

private:
    QElapsedTimer m_clock;
    std::atomic<qint64> m_lastBeat { 0 };
    std::atomic<int> m_step { -1 };
    std::atomic<const char*> m_action { "start" };
    QMutex m_mutex;
    QWaitCondition m_stopped;
    bool m_stopping = false;
};

int envNumber(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

}

class TestStress : public QObject {
    Q_OBJECT

public:
    TestStress(int models)
        : m_models(models)
    {
    }

private slots:
    void initTestCase()
    {
        // Mesa unloads its driver when the display closes, before
        // LeakSanitizer looks; pinned, its allocations stay attributable.
        dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
        m_watchdog.start();
        m_heart = new QTimer(this);
        m_heart->setInterval(50);
        connect(m_heart, &QTimer::timeout, this, [this] { m_watchdog.beat(); });
        m_watchdog.beat();
        m_heart->start();

        Startup::setIdentity();
        Startup::registerQmlTypes();
        m_engine.reset(new QQmlApplicationEngine);
        Startup::publishContextProperties(*m_engine);
        m_engine->load(Startup::mainQmlUrl());
        QCOMPARE(m_engine->rootObjects().size(), 1);
        m_window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().constFirst());
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        m_plate = m_window->findChild<QAbstractItemModel*>(QStringLiteral("plateModel"));
        m_road = m_window->findChild<QObject*>(QStringLiteral("jobRoad"));
        QVERIFY(m_plate && m_road);
        QTRY_COMPARE_WITH_TIMEOUT(m_plate->rowCount(), m_models, 120000);
        QObject* printers = m_window->findChild<QObject*>(QStringLiteral("printerChoice"));
        QVERIFY(printers);
        QTRY_VERIFY_WITH_TIMEOUT(
            printers->property("profile").toMap().contains(QStringLiteral("PixelsX")), 60000);
        QObject* options = m_window->findChild<QObject*>(QStringLiteral("supportOptions"));
        QVERIFY(options && options->setProperty("automatic", true));
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_watchdog.stop();
        m_watchdog.wait();
    }

    void randomSteps()
    {
        const int steps = envNumber("CORVANE_STRESS_STEPS", 48);
        const quint32 seed = quint32(envNumber("CORVANE_STRESS_SEED", 1515));
        QRandomGenerator random(seed);
        static const char* const names[] = { "view button", "orbit", "drag", "select", "layer step",
            "undo", "arrange", "generate", "slice" };
        int slices = 0;
        for (int step = 0; step < steps; ++step) {
            // Every twelfth step slices, so that a short run slices too.
            const int action = step % 12 == 5 ? 8 : int(random.bounded(9));
            m_watchdog.setStep(step, names[action]);
            if (qEnvironmentVariableIsSet("CORVANE_STRESS_VERBOSE"))
                std::fprintf(stderr, "step %d: %s\n", step, names[action]);
            switch (action) {
            case 0: {
                static const char* const buttons[] = { "viewTopButton", "viewFrontButton",
                    "viewSideButton", "viewIsoButton", "viewFitButton" };
                click(QLatin1String(buttons[random.bounded(5)]));
                break;
            }
            case 1:
                drag(QPointF(0.9, 0.9), random);
                break;
            case 2:
                drag(QPointF(0.5, 0.5), random);
                break;
            case 3:
                click(QStringLiteral("objectRow%1").arg(random.bounded(m_models)));
                break;
            case 4:
                for (int i = int(random.bounded(1, 6)); i > 0; --i)
                    QTest::keyClick(
                        m_window, random.bounded(2) ? Qt::Key_PageUp : Qt::Key_PageDown);
                break;
            case 5:
                QTest::keyClick(m_window, Qt::Key_Z, Qt::ControlModifier);
                break;
            case 6:
                click(QStringLiteral("arrangeButton"));
                break;
            case 7:
                click(QStringLiteral("supportsTab"));
                click(QStringLiteral("supportsGenerate"));
                break;
            case 8:
                slices += click(QStringLiteral("sliceButton"));
                break;
            }
            // Back to the event loop between steps, as a user's next step comes.
            QSignalSpy beat(m_heart, &QTimer::timeout);
            QVERIFY(beat.wait(stallLimitMs));
        }
        m_watchdog.setStep(steps, "settling");
        QVERIFY(slices > 0);
        // The window still draws and goes idle once the last job is done.
        QTRY_VERIFY_WITH_TIMEOUT(!m_road->property("busy").toBool(), 300000);
        QObject* gate = m_window->findChild<QObject*>(QStringLiteral("frameGate"));
        QVERIFY(gate);
        QTRY_VERIFY_WITH_TIMEOUT(!gate->property("open").toBool(), 30000);
        QVERIFY(!m_window->grabWindow().isNull());
    }

private:
    // A click on a named item when it is there to be clicked; false otherwise.
    // A side-panel control below the fold is scrolled to first, as a user would.
    static void scrollIntoView(QQuickItem* target)
    {
        for (QQuickItem* up = target->parentItem(); up; up = up->parentItem()) {
            if (up->objectName() != QLatin1String("sideScroll"))
                continue;
            auto* content = up->property("contentItem").value<QQuickItem*>();
            if (!content)
                return;
            const qreal top = target->mapToItem(content, QPointF(0, 0)).y();
            const qreal most = qMax(0.0, up->property("contentHeight").toReal() - up->height());
            up->setProperty("contentY", qBound(0.0, top - up->height() / 2, most));
            return;
        }
    }

    bool click(const QString& name)
    {
        QQuickItem* target = findItem(m_window->contentItem(), name);
        if (!target || !target->isVisible() || !target->isEnabled() || target->width() <= 0)
            return false;
        scrollIntoView(target);
        const QPointF centre
            = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
        return true;
    }

    // A left drag in the 3D view from a point given in fractions of its size: from its centre it
    // moves what stands there, from near its corner it orbits.
    void drag(const QPointF& from, QRandomGenerator& random)
    {
        QQuickItem* view = findItem(m_window->contentItem(), QStringLiteral("plateView"));
        if (!view)
            return;
        QPoint at = view->mapToScene(QPointF(view->width() * from.x(), view->height() * from.y()))
                        .toPoint();
        QTest::mousePress(m_window, Qt::LeftButton, Qt::NoModifier, at);
        for (int i = 0; i < 6; ++i) {
            at += QPoint(int(random.bounded(-12, 13)), int(random.bounded(-12, 13)));
            QTest::mouseMove(m_window, at);
        }
        QTest::mouseRelease(m_window, Qt::LeftButton, Qt::NoModifier, at);
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

    int m_models;
    Watchdog m_watchdog;
    QTimer* m_heart = nullptr;
    QScopedPointer<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
    QAbstractItemModel* m_plate = nullptr;
    QObject* m_road = nullptr;
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
    qputenv("TMPDIR", work.path().toUtf8());

    // Five models: two blocks, a mushroom that wants supports, a tilted T and a sphere, of a
    // million triangles in the long runs.
    const QString dir = work.path() + QLatin1Char('/');
    QList<QByteArray> files;
    const auto add = [&files, &dir](const QString& name) {
        files.append((dir + name).toLocal8Bit());
        return dir + name;
    };
    if (!StlBuilder()
             .box(QVector3D(0, 0, 0), QVector3D(20, 15, 10))
             .write(add(QStringLiteral("block.stl")))
        || !StlBuilder()
                .box(QVector3D(0, 0, 0), QVector3D(12, 12, 8))
                .write(add(QStringLiteral("cube.stl")))
        || !StlBuilder().triangles(mushroom().triangles).write(add(QStringLiteral("mushroom.stl")))
        || !StlBuilder()
                .triangles(tiltedTShape().triangles)
                .write(add(QStringLiteral("tshape.stl"))))
        return 1;
    const bool big = qEnvironmentVariableIntValue("CORVANE_STRESS_BIG") != 0;
    if (!writeSphereStl(
            add(QStringLiteral("sphere.stl")).toStdString(), 15, big ? 1000 : 64, big ? 501 : 33))
        return 1;

    QByteArray program(argv[0]);
    QVector<char*> arguments { program.data() };
    for (QByteArray& file : files)
        arguments.append(file.data());
    arguments.append(nullptr);
    int count = arguments.size() - 1;
    // A long run outlasts Qt Test's five minutes for one test function.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number(24 * 3600 * 1000));
    QApplication app(count, arguments.data());
    TestStress test(files.size());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_stress.moc"
