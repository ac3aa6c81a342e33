// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include <QApplication>
#include <QQmlApplicationEngine>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Startup::setIdentity();
    Startup::registerQmlTypes();

    // Declared after the application object, so it goes first: the Netlib
    // objects it owns stop their agents while the application still exists.
    QQmlApplicationEngine engine;
    Startup::publishContextProperties(engine);
    engine.load(Startup::mainQmlUrl());
    return app.exec();
}
