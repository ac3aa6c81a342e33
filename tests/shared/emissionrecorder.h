// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_SHARED_EMISSIONRECORDER_H
#define TESTS_SHARED_EMISSIONRECORDER_H

#include <QObject>
#include <QByteArray>
#include <QStringList>

// Writes every signal of one object into a list as "name(arguments)", in the
// order in which the emissions begin. An ordinary receiver connected after
// the object's own internal wiring would see a signal emitted from inside
// another one first; this records the order in which the object emits. It
// hooks the signal spy callbacks that Qt Core exports for the test library's
// signal dumper; one recorder at a time.
class EmissionRecorder : public QObject {
    Q_OBJECT

public:
    explicit EmissionRecorder(QObject* watched);
    // Watches every object of the named class, also while it is being
    // constructed (for signals emitted from within a constructor).
    explicit EmissionRecorder(const char* className);
    ~EmissionRecorder() override;

    QStringList events;

    // Waits until events holds event; false after timeoutMs without it.
    bool waitFor(const QString& event, int timeoutMs = 10000);

signals:
    void recorded();

private:
    static void signalBegins(QObject* caller, int signalIndex, void** argv);

    QByteArray m_className;
};

// "name(arguments)" as the recorder writes it.
QString ev(const char* name, const QString& arguments);
QString ev(const char* name, const char* arguments);

#endif
