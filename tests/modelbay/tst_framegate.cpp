// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A window with a 3D view stops asking for frames once nothing happens, and
// draws again when the camera moves or the user acts; shutting between frames
// of the 3D view never leaves Qt 3D waiting for a frame. Needs an OpenGL
// context: runs under Xvfb.
#include "framegate.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <dlfcn.h>

namespace {

// The smallest window that shows the loop: a Scene3D asks for a new frame
// from each frame it sees, whatever its render policy.
const char windowQml[] = R"(
import QtQuick 2.12
import QtQuick.Window 2.12 as QW
import QtQuick.Scene3D 2.0
import Qt3D.Core 2.12
import Qt3D.Render 2.12
import Qt3D.Extras 2.12

QW.Window {
    width: 320
    height: 240
    visible: true
    property alias camera: camera

    Scene3D {
        anchors.fill: parent
        aspects: []
        Entity {
            Camera {
                id: camera
                position: Qt.vector3d(0, -60, 40)
                upVector: Qt.vector3d(0, 0, 1)
                viewCenter: Qt.vector3d(0, 0, 0)
            }
            components: [
                RenderSettings {
                    renderPolicy: RenderSettings.OnDemand
                    activeFrameGraph: ForwardRenderer { camera: camera }
                }
            ]
            Entity {
                components: [ CuboidMesh { }, PhongMaterial { } ]
            }
        }
    }
}
)";

// Counts the frames the window is asked for, seen before anything else
// (filters installed later run first).
class FrameRequests : public QObject {
    Q_OBJECT

public:
    explicit FrameRequests(QWindow* window)
        : QObject(window)
    {
        window->installEventFilter(this);
    }

signals:
    void requested();

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::UpdateRequest)
            emit requested();
        return false;
    }
};

}

class TestFrameGate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Mesa unloads its driver when the display closes, before
        // LeakSanitizer looks; pinned, its allocations stay attributable.
        dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
    }

    void init()
    {
        m_engine.reset(new QQmlEngine);
        QQmlComponent component(m_engine.data());
        component.setData(windowQml, QUrl());
        m_window.reset(qobject_cast<QQuickWindow*>(component.create()));
        QVERIFY2(m_window, qPrintable(component.errorString()));
        m_gate = new FrameGate(m_window.data());
        m_gate->setSettleMs(300);
        m_gate->setView(m_window->contentItem());
        m_gate->setCamera(m_window->property("camera").value<QObject*>());
        QVERIFY(m_gate->camera());
        m_requests = new FrameRequests(m_window.data());
        QVERIFY(QTest::qWaitForWindowExposed(m_window.data()));
    }

    void cleanup()
    {
        m_window.reset();
        m_engine.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void idleWindowAsksForNoFrames()
    {
        QSignalSpy frames(m_requests, &FrameRequests::requested);
        QVERIFY(frames.wait(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!m_gate->isOpen(), 10000);
        // At most the frame already asked for when the gate shut.
        frames.wait(200);
        frames.clear();
        QVERIFY(!frames.wait(1000));
    }

    void wakes_data()
    {
        QTest::addColumn<bool>("byInput");
        QTest::newRow("camera move") << false;
        QTest::newRow("input") << true;
    }

    void wakes()
    {
        QFETCH(bool, byInput);
        QTRY_VERIFY_WITH_TIMEOUT(!m_gate->isOpen(), 10000);
        QSignalSpy frames(m_requests, &FrameRequests::requested);
        if (byInput)
            QTest::mouseMove(m_window.data(), QPoint(100, 100));
        else
            QVERIFY(m_gate->camera()->setProperty("position", QVector3D(0, -70, 40)));
        QVERIFY(m_gate->isOpen());
        QVERIFY(frames.wait(5000));
        // And shuts again once nothing changes.
        QTRY_VERIFY_WITH_TIMEOUT(!m_gate->isOpen(), 10000);
    }

    // The gate shuts right after each frame the 3D view took part in, while its render may
    // still be owed: every round must still end in a drawn frame and a shut gate. A gate that
    // holds the render back leaves the window waiting on Qt 3D for good here.
    void shutsBetweenFramesOfTheView()
    {
        m_gate->setSettleMs(1);
        for (int round = 0; round < 200; ++round) {
            QTRY_VERIFY_WITH_TIMEOUT(!m_gate->isOpen(), 10000);
            QSignalSpy frames(m_requests, &FrameRequests::requested);
            QVERIFY(m_gate->camera()->setProperty(
                "position", QVector3D(1 + round % 7, -60, 40 + round % 5)));
            QVERIFY(frames.wait(5000));
        }
    }

private:
    QScopedPointer<QQmlEngine> m_engine;
    QScopedPointer<QQuickWindow> m_window;
    FrameGate* m_gate = nullptr;
    FrameRequests* m_requests = nullptr;
};

QTEST_MAIN(TestFrameGate)
#include "tst_framegate.moc"
