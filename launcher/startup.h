// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LAUNCHER_STARTUP_H
#define LAUNCHER_STARTUP_H

#include <QPair>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVector>

class QQmlApplicationEngine;

// The start-up steps of corvane, kept apart from main() so that a test can run
// them against its own engine without entering the event loop.
namespace Startup {

using ContextProperty = QPair<QString, QVariant>;

// Organisation, application name and version: all a core application needs.
void setNames();

// The names and the window icon.
void setIdentity();

// The editor's types first, then the STL export, then the agent client.
void registerQmlTypes();

// The eight values the editor's QML reads from the root context, in the order
// they are set.
QVector<ContextProperty> contextProperties();

void publishContextProperties(QQmlApplicationEngine& engine);

QUrl mainQmlUrl();

}

#endif
