// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modelbay.h"

#include "islandlist.h"
#include "jobfileview.h"
#include "jobroad.h"
#include "platemodel.h"
#include "platescene.h"
#include "printerchoice.h"
#include "safereplace.h"
#include "supportgenerator.h"
#include "supportoptions.h"
#include "workfolder.h"

#include <QtGlobal>
#include <QtQml>

static void initModelbayResources() { Q_INIT_RESOURCE(modelbay); }

namespace Qt3DSceneModelbay {

void register3DSceneEditorQML()
{
    static bool registered = false;
    if (registered)
        return;
    // The resources normally register when the library loads; doing it here as
    // well keeps them available when the library is linked statically.
    initModelbayResources();
    qmlRegisterType<PlateModel>("com.corvane.modelbay", 1, 0, "PlateModel");
    qmlRegisterType<PlateScene>("com.corvane.modelbay", 1, 0, "PlateScene");
    qmlRegisterType<SupportOptions>("com.corvane.modelbay", 1, 0, "SupportOptions");
    qmlRegisterType<SupportGenerator>("com.corvane.modelbay", 1, 0, "SupportGenerator");
    qmlRegisterUncreatableType<IslandList>("com.corvane.modelbay", 1, 0, "IslandList",
        QStringLiteral("The job road holds the islands."));
    qmlRegisterType<JobFileView>("com.corvane.modelbay", 1, 0, "JobFileView");
    qmlRegisterType<JobRoad>("com.corvane.modelbay", 1, 0, "JobRoad");
    qmlRegisterType<PrinterChoice>("com.corvane.modelbay", 1, 0, "PrinterChoice");
    qmlRegisterType<WorkFolder>("com.corvane.modelbay", 1, 0, "WorkFolder");
    qmlRegisterType<FileReplacer>("com.corvane.modelbay", 1, 0, "FileReplacer");
    registered = true;
}

}
