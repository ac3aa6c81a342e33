// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LAUNCHER_COMMANDLINE_H
#define LAUNCHER_COMMANDLINE_H

#include <QString>
#include <QStringList>

class QCommandLineParser;

// corvane's command line: model files to open, --help and --version. Judged
// before any application object exists, so that a mistake is answered with a
// sentence even where no window could be opened.
namespace CommandLine {

enum class Action { Run, ShowHelp, ShowVersion, Refuse };

struct Request {
    Action action = Action::Run;
    QStringList files; // in the order given
    QString refusal; // the sentence for Action::Refuse
};

Request parse(const QStringList& arguments);

// The --help text; needs the application object (Qt names the program from it).
QString helpText();

}

#endif
