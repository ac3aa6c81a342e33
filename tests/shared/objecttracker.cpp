// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "objecttracker.h"

#include <QMutex>
#include <QSet>
#include <QThread>

// Qt Core's hook table for debugging tools (stable within Qt 5).
extern quintptr Q_CORE_EXPORT qtHookData[];

namespace {

enum HookIndex { AddQObject = 3, RemoveQObject = 4 };
using ObjectHook = void (*)(QObject*);

QMutex trackedMutex;
QSet<QObject*> tracked;
QThread* trackingThread = nullptr;
quintptr previousAdd = 0;
quintptr previousRemove = 0;

void objectAdded(QObject* object)
{
    if (QThread::currentThread() == trackingThread) {
        QMutexLocker lock(&trackedMutex);
        tracked.insert(object);
    }
    if (previousAdd)
        reinterpret_cast<ObjectHook>(previousAdd)(object);
}

void objectRemoved(QObject* object)
{
    {
        QMutexLocker lock(&trackedMutex);
        tracked.remove(object);
    }
    if (previousRemove)
        reinterpret_cast<ObjectHook>(previousRemove)(object);
}

}

ObjectTracker::ObjectTracker()
{
    previousAdd = qtHookData[AddQObject];
    previousRemove = qtHookData[RemoveQObject];
    qtHookData[AddQObject] = reinterpret_cast<quintptr>(&objectAdded);
    qtHookData[RemoveQObject] = reinterpret_cast<quintptr>(&objectRemoved);
}

ObjectTracker::~ObjectTracker()
{
    qtHookData[AddQObject] = previousAdd;
    qtHookData[RemoveQObject] = previousRemove;
    QMutexLocker lock(&trackedMutex);
    tracked.clear();
    trackingThread = nullptr;
}

void ObjectTracker::start()
{
    QMutexLocker lock(&trackedMutex);
    tracked.clear();
    m_stopped.clear();
    trackingThread = QThread::currentThread();
}

void ObjectTracker::stop()
{
    QMutexLocker lock(&trackedMutex);
    trackingThread = nullptr;
    const QList<QObject*> objects = tracked.values();
    tracked.clear();
    lock.unlock();
    for (QObject* object : objects)
        m_stopped.append(QPointer<QObject>(object));
}
