// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"
#include "startup.h"

#include <QApplication>
#include <QQmlApplicationEngine>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// --help, --version and a mistake need no window: they are answered with only
// a core application, so they work without a display.
int answerWithoutWindow(int argc, char** argv, const CommandLine::Request& request)
{
    QCoreApplication app(argc, argv);
    Startup::setNames();
    switch (request.action) {
    case CommandLine::Action::ShowHelp:
        std::fputs(qPrintable(CommandLine::helpText()), stdout);
        return 0;
    case CommandLine::Action::ShowVersion:
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName().toLower()),
            qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    default:
        std::fprintf(stderr, "corvane: %s\n", qPrintable(request.refusal));
        return 2;
    }
}

}

int main(int argc, char** argv)
{
    const CommandLine::Request request = CommandLine::parse(argumentsOf(argc, argv));
    if (request.action != CommandLine::Action::Run)
        return answerWithoutWindow(argc, argv, request);

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
