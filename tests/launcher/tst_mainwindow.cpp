// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's main window loads in a real window, renders its 3D view and
// logs no QML warning. Needs an OpenGL context: runs under Xvfb.
#include "startup.h"

#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <dlfcn.h>

namespace {

QStringList messages;
QtMessageHandler previousHandler = nullptr;

void collectMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        messages << text;
    previousHandler(type, context, text);
}

}

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        previousHandler = qInstallMessageHandler(collectMessages);
        // Mesa unloads its driver when the display closes, before LeakSanitizer
        // looks; pinned, the driver's own allocations stay attributable (and
        // suppressed) instead of showing up under an unknown module.
        dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
        Startup::setIdentity();
        Startup::registerQmlTypes();
    }

    void loadsWithoutWarnings()
    {
        QScopedPointer<QQmlApplicationEngine> engine(new QQmlApplicationEngine);
        loadMainWindow(*engine);
        engine.reset();
        // Qt 3D tears its aspects down through deferred deletes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));
    }

private:
    void loadMainWindow(QQmlApplicationEngine& engine)
    {
        Startup::publishContextProperties(engine);
        engine.load(Startup::mainQmlUrl());
        QCOMPARE(engine.rootObjects().size(), 1);
        auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));

        // A few frames, so that the 3D view has rendered.
        QSignalSpy frames(window, &QQuickWindow::frameSwapped);
        while (frames.count() < 3) {
            window->update();
            QVERIFY(frames.wait(10000));
        }

        QObject* netlib = window->findChild<QObject*>(QStringLiteral("netlib"));
        QVERIFY(netlib);
        QCOMPARE(QLatin1String(netlib->metaObject()->className()), QLatin1String("Netlib"));
        QObject* facetlab = window->findChild<QObject*>(QStringLiteral("facetlab"));
        QVERIFY(facetlab);
        QCOMPARE(QLatin1String(facetlab->metaObject()->className()), QLatin1String("Facetlab"));
        // A fresh window holds an unsaved, unnamed project.
        QCOMPARE(window->title(), QStringLiteral("Untitled \u2014 Corvane"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
