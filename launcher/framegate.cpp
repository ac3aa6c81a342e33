// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "framegate.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaMethod>
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

}

FrameGate::FrameGate(QQuickWindow* window, int settleMs)
    : QObject(window)
    , m_window(window)
    , m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(settleMs);
    connect(m_settle, &QTimer::timeout, this, &FrameGate::shut);
    m_window->installEventFilter(this);

    const QMetaObject* meta = window->metaObject();
    const int signal = meta->indexOfSignal("sceneChanged()");
    if (signal >= 0)
        connect(window, meta->method(signal), this,
            metaObject()->method(metaObject()->indexOfSlot("wake()")));
    m_settle->start();
}

bool FrameGate::isOpen() const { return m_open; }

void FrameGate::wake()
{
    m_settle->start();
    if (m_open)
        return;
    m_open = true;
    // The 3D view takes its next step only within a frame.
    m_window->update();
}

void FrameGate::shut() { m_open = false; }

bool FrameGate::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window)
        return false;
    if (isActivity(event->type())) {
        wake();
        return false;
    }
    if (event->type() != QEvent::UpdateRequest || m_open || m_inFrame)
        return false;
    // The frame is drawn (other items may have changed), but without the
    // window's frame signals: the 3D view neither renders nor asks again.
    m_inFrame = true;
    {
        const QSignalBlocker blocker(m_window);
        QCoreApplication::sendEvent(m_window, event);
    }
    m_inFrame = false;
    return true;
}
