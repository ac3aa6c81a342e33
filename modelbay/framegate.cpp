// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "framegate.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QEvent>
#include <QMetaProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalBlocker>
#include <QTimer>

namespace {

// Events after which the window may show something new.
bool isActivity(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Resize:
    case QEvent::Expose:
    case QEvent::Show:
    case QEvent::WindowStateChange:
    case QEvent::ScreenChangeInternal:
        return true;
    default:
        return false;
    }
}

// A render owed for longer than this was skipped: its frame had nothing to draw.
const int overdueMs = 250;

}

FrameGate::FrameGate(QObject* parent)
    : QObject(parent)
    , m_settle(new QTimer(this))
    , m_overdue(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(1500);
    connect(m_settle, &QTimer::timeout, this, &FrameGate::shut);
    m_overdue->setSingleShot(true);
    m_overdue->setInterval(overdueMs);
    connect(m_overdue, &QTimer::timeout, this, &FrameGate::drawOpen);
    m_settle->start();
}

// The render thread calls into the gate: it lets go of the window first.
FrameGate::~FrameGate() { setWindow(nullptr); }

QQuickItem* FrameGate::view() const { return m_view; }

void FrameGate::setView(QQuickItem* view)
{
    if (view == m_view)
        return;
    unfollow(m_view);
    m_view = view;
    follow(view);
    if (view)
        connect(view, &QQuickItem::windowChanged, this, &FrameGate::setWindow);
    setWindow(view ? view->window() : nullptr);
    emit viewChanged();
}

QObject* FrameGate::model() const { return m_model; }

void FrameGate::setModel(QObject* object)
{
    auto* model = qobject_cast<QAbstractItemModel*>(object);
    if (model == m_model)
        return;
    unfollow(m_model);
    m_model = model;
    follow(model);
    if (model) {
        connect(model, &QAbstractItemModel::dataChanged, this, &FrameGate::wake);
        connect(model, &QAbstractItemModel::rowsInserted, this, &FrameGate::wake);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &FrameGate::wake);
        connect(model, &QAbstractItemModel::rowsMoved, this, &FrameGate::wake);
        connect(model, &QAbstractItemModel::modelReset, this, &FrameGate::wake);
        connect(model, &QAbstractItemModel::layoutChanged, this, &FrameGate::wake);
    }
    emit modelChanged();
}

QObject* FrameGate::scene() const { return m_scene; }

void FrameGate::setScene(QObject* scene)
{
    if (scene == m_scene)
        return;
    unfollow(m_scene);
    m_scene = scene;
    follow(scene);
    emit sceneChanged();
}

QObject* FrameGate::camera() const { return m_camera; }

void FrameGate::setCamera(QObject* camera)
{
    if (camera == m_camera)
        return;
    unfollow(m_camera);
    m_camera = camera;
    follow(camera);
    emit cameraChanged();
}

int FrameGate::settleMs() const { return m_settle->interval(); }

void FrameGate::setSettleMs(int settleMs)
{
    if (settleMs == m_settle->interval())
        return;
    m_settle->setInterval(settleMs);
    m_settle->start();
    emit settleMsChanged();
}

bool FrameGate::isOpen() const { return m_open; }

void FrameGate::wake()
{
    m_settle->start();
    if (m_open)
        return;
    m_open = true;
    emit openChanged();
    // The 3D view takes its next step only within a frame.
    if (m_window)
        m_window->update();
}

void FrameGate::shut()
{
    if (!m_open)
        return;
    m_open = false;
    emit openChanged();
}

// Every change of a property the source announces wakes the gate.
void FrameGate::follow(QObject* source)
{
    if (!source)
        return;
    const QMetaMethod wakeSlot = metaObject()->method(metaObject()->indexOfSlot("wake()"));
    const QMetaObject* meta = source->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (property.hasNotifySignal())
            connect(source, property.notifySignal(), this, wakeSlot);
    }
}

void FrameGate::unfollow(QObject* source)
{
    if (source)
        disconnect(source, nullptr, this, nullptr);
}

void FrameGate::setWindow(QQuickWindow* window)
{
    if (window == m_window)
        return;
    if (m_window) {
        m_window->removeEventFilter(this);
        disconnect(m_window, nullptr, this, nullptr);
    }
    m_window = window;
    m_renderOwed.store(false);
    m_postponed.store(false);
    if (!window)
        return;
    window->installEventFilter(this);
    // On the render thread (or the main thread, with a render loop of one thread). Syncing a
    // frame with signals on may have let the 3D view hand Qt 3D a frame to render; the render
    // begins with beforeRendering. A new sync means the last render is behind us, drawn or
    // skipped.
    connect(
        window, &QQuickWindow::beforeSynchronizing, this, [this] { m_renderOwed.store(false); },
        Qt::DirectConnection);
    connect(
        window, &QQuickWindow::afterSynchronizing, this, [this] { m_renderOwed.store(true); },
        Qt::DirectConnection);
    connect(
        window, &QQuickWindow::beforeRendering, this,
        [this] {
            m_renderOwed.store(false);
            if (m_postponed.exchange(false))
                QMetaObject::invokeMethod(
                    this, [this] { drawPostponed(); }, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

bool FrameGate::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window)
        return false;
    if (isActivity(event->type())) {
        wake();
        return false;
    }
    if (event->type() != QEvent::UpdateRequest || m_inFrame || m_open)
        return false;
    if (m_passNext) {
        m_passNext = false;
        return false;
    }
    // Held back now, the render Qt 3D waits for would be lost: the frame waits for it. The
    // render thread takes the postponed frame when it begins that render meanwhile.
    m_postponed.store(true);
    if (m_renderOwed.load() || !m_postponed.exchange(false)) {
        m_overdue->start();
        return true;
    }
    drawHeldBack(event);
    return true;
}

// The frame is drawn (other items may have changed), but without the window's signals: the 3D
// view neither steps nor asks for the next frame.
void FrameGate::drawHeldBack(QEvent* event)
{
    m_inFrame = true;
    {
        const QSignalBlocker blocker(m_window);
        QCoreApplication::sendEvent(m_window, event);
    }
    m_inFrame = false;
}

void FrameGate::drawPostponed()
{
    m_overdue->stop();
    if (m_window)
        m_window->update();
}

// The owed render never began: the frame had nothing to draw, and no render is owed after all.
// The postponed frame goes through with its signals, which is always safe.
void FrameGate::drawOpen()
{
    if (!m_postponed.exchange(false) || !m_window)
        return;
    m_passNext = true;
    m_window->update();
}
