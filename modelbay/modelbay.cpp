// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modelbay.h"

#include "framegate.h"
#include "islandlist.h"
#include "jobfileview.h"
#include "jobroad.h"
#include "platemodel.h"
#include "platescene.h"
#include "printerchoice.h"
#include "projectdocument.h"
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
    qmlRegisterType<JobSettings>("com.corvane.modelbay", 1, 0, "JobSettings");
    qmlRegisterType<ResinChoice>("com.corvane.modelbay", 1, 0, "ResinChoice");
    qmlRegisterType<WorkFolder>("com.corvane.modelbay", 1, 0, "WorkFolder");
    qmlRegisterType<ProjectDocument>("com.corvane.modelbay", 1, 0, "ProjectDocument");
    qmlRegisterType<FileReplacer>("com.corvane.modelbay", 1, 0, "FileReplacer");
    qmlRegisterType<FrameGate>("com.corvane.modelbay", 1, 0, "FrameGate");
    registered = true;
}

}
