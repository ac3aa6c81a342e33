// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "emissionrecorder.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QThread>
#include <QUrl>
#include <QVariant>

#include <atomic>

// Qt Core's hooks for watching signal emissions (used by the test library's
// signal dumper; stable within Qt 5.15).
struct QSignalSpyCallbackSet {
    typedef void (*BeginCallback)(QObject* caller, int signal_or_method_index, void** argv);
    typedef void (*EndCallback)(QObject* caller, int signal_or_method_index);
    BeginCallback signal_begin_callback, slot_begin_callback;
    EndCallback signal_end_callback, slot_end_callback;
};
void Q_CORE_EXPORT qt_register_signal_spy_callbacks(QSignalSpyCallbackSet* callback_set);

namespace {

EmissionRecorder* activeRecorder = nullptr;
// The thread that owns the recorder. Other threads (the network layer's) call
// the hook too, and may do so while the recorder is being destroyed; they
// only ever read this, never the recorder.
std::atomic<QThread*> recordingThread { nullptr };
QObject* activeWatched = nullptr;
QSignalSpyCallbackSet callbacks = { nullptr, nullptr, nullptr, nullptr };

// The callbacks count signals only, across the whole class hierarchy.
QMetaMethod signalAt(const QMetaObject* meta, int signalIndex)
{
    int seen = 0;
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Signal)
            continue;
        if (seen++ == signalIndex)
            return method;
    }
    return QMetaMethod();
}

QString describe(const QVariant& value)
{
    if (value.userType() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.userType() == QMetaType::QJsonArray)
        return QString::fromUtf8(QJsonDocument(value.toJsonArray()).toJson(QJsonDocument::Compact));
    if (value.userType() == QMetaType::QUrl)
        return value.toUrl().toString();
    return value.toString();
}

}

EmissionRecorder::EmissionRecorder(QObject* watched)
{
    Q_ASSERT(!activeRecorder);
    activeRecorder = this;
    activeWatched = watched;
    recordingThread.store(QThread::currentThread());
    callbacks.signal_begin_callback = &EmissionRecorder::signalBegins;
    qt_register_signal_spy_callbacks(&callbacks);
}

EmissionRecorder::EmissionRecorder(const char* className)
    : EmissionRecorder(static_cast<QObject*>(nullptr))
{
    m_className = className;
}

EmissionRecorder::~EmissionRecorder()
{
    qt_register_signal_spy_callbacks(nullptr);
    recordingThread.store(nullptr);
    activeRecorder = nullptr;
    activeWatched = nullptr;
}

void EmissionRecorder::signalBegins(QObject* caller, int signalIndex, void** argv)
{
    // Other threads emit too (the network layer); only the watched object,
    // on the recorder's own thread, counts.
    if (QThread::currentThread() != recordingThread.load() || !activeRecorder)
        return;
    const bool watched = activeWatched
        ? caller == activeWatched
        : activeRecorder->m_className == caller->metaObject()->className();
    if (!watched)
        return;
    const QMetaMethod signal = signalAt(caller->metaObject(), signalIndex);
    if (signal.name() == "destroyed")
        return;
    QStringList arguments;
    for (int i = 0; i < signal.parameterCount(); ++i)
        arguments << describe(QVariant(signal.parameterType(i), argv[i + 1]));
    activeRecorder->events.append(ev(signal.name().constData(), arguments.join(QLatin1Char(','))));
    emit activeRecorder->recorded();
}

bool EmissionRecorder::waitFor(const QString& event, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QSignalSpy spy(this, &EmissionRecorder::recorded);
    while (!events.contains(event)) {
        const int left = timeoutMs - int(timer.elapsed());
        if (left <= 0 || !spy.wait(left))
            return events.contains(event);
    }
    return true;
}

QString ev(const char* name, const QString& arguments)
{
    return QLatin1String(name) + QLatin1Char('(') + arguments + QLatin1Char(')');
}

QString ev(const char* name, const char* arguments)
{
    return ev(name, QString::fromUtf8(arguments));
}
