// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace CommandLine {

namespace {

    // The options QGuiApplication and QApplication take for themselves (-platform,
    // -style, ...): they are accepted here and left for Qt, which removes them
    // before the window's QML reads the file names.
    const char* const qtValueOptions[] = { "platform", "platformpluginpath", "platformtheme",
        "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display",
        "geometry", "style", "stylesheet", "qmljsdebugger", "title", "font", "fn", "bg",
        "background", "fg", "foreground", "btn", "button", "name", "visual", "inputstyle", "im" };
    const char* const qtFlagOptions[]
        = { "reverse", "nograb", "dograb", "sync", "widgetcount", "testability", "ncols", "cmap" };

    void describe(QCommandLineParser& parser)
    {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(QCoreApplication::translate("corvane",
            "Prepares jobs for resin 3D printers: arrange models on the plate, add supports, slice "
            "them into layer images, and save the job file or send it to a printer host.\n\n"
            "Opens models in binary or ASCII STL (.stl), OBJ (.obj) and 3MF (.3mf); Corvane "
            "projects (.3mf); and job files to check their layers: SL1 (.sl1, .sl1s), GOO (.goo, "
            ".prz), CTB (.ctb) and Photon Workshop (.pwmx, .pwmb, .pm3n, .pm5s, ...)."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument(QStringLiteral("files"),
            QCoreApplication::translate("corvane", "Models, a project or job files to open."),
            QStringLiteral("[files...]"));
        for (const char* name : qtValueOptions) {
            QCommandLineOption option { QString::fromLatin1(name) };
            option.setValueName(QStringLiteral("value"));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
        for (const char* name : qtFlagOptions) {
            QCommandLineOption option { QString::fromLatin1(name) };
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    }

}

Request parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    describe(parser);
    Request request;
    if (!parser.parse(arguments)) {
        request.action = Action::Refuse;
        request.refusal = parser.errorText()
            + QStringLiteral(". Try \"corvane --help\" for the options corvane takes.");
        return request;
    }
    if (parser.isSet(QStringLiteral("help")))
        request.action = Action::ShowHelp;
    else if (parser.isSet(QStringLiteral("version")))
        request.action = Action::ShowVersion;
    request.files = parser.positionalArguments();
    return request;
}

QString helpText()
{
    QCommandLineParser parser;
    describe(parser);
    return parser.helpText();
}

}
