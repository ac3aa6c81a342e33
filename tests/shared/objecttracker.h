// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_SHARED_OBJECTTRACKER_H
#define TESTS_SHARED_OBJECTTRACKER_H

#include <QList>
#include <QObject>
#include <QPointer>

// Collects the objects that the calling thread creates between start() and
// stop(), so a test can check that objects made deep inside a call (such as
// the reply of a network request) are released later. Uses the object
// creation hooks that Qt Core exports for debugging tools; one tracker at a
// time.
class ObjectTracker {
public:
    ObjectTracker();
    ~ObjectTracker();

    void start();
    void stop();

    // The tracked objects of type T that were alive at stop() and still are.
    template <typename T> QList<QPointer<T>> alive() const
    {
        QList<QPointer<T>> result;
        for (const QPointer<QObject>& object : m_stopped) {
            if (T* typed = qobject_cast<T*>(object.data()))
                result.append(QPointer<T>(typed));
        }
        return result;
    }

private:
    // Guarded at stop(), when every object made by the call is complete.
    QList<QPointer<QObject>> m_stopped;
};

#endif
