// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include "facetlab.h"
#include "modelbay.h"
#include "netlib.h"
#include "version.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQmlContext>

namespace Startup {

void setNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    // The same word as the organisation, not a domain name: the QML's settings
    // are stored under it.
    QCoreApplication::setOrganizationDomain(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
}

void setIdentity()
{
    setNames();
    QApplication::setWindowIcon(
        QIcon(QStringLiteral(":/qt3dmodelbay/images/Corvane-Logo-32x32.png")));
}

void registerQmlTypes()
{
    Qt3DSceneModelbay::register3DSceneEditorQML();
    Facetlabrary::registerFacetlabraryQML();
    NetLibrary::registerNetLibraryQML();
}

QVector<ContextProperty> contextProperties()
{
    // The three switches are ints, not bools: the QML compares them as numbers.
    const int multiItemSlicingEnabled = 0;
    const int eightAreasEnabled = 0;
    const int supportingAlternativeEnabled = 1;
    QFontDatabase fonts;
    return {
        { QStringLiteral("BUILD_DATE"), QStringLiteral("Oct 2020") },
        { QStringLiteral("homePath"), QDir::homePath() },
        { QStringLiteral("settingsFilePath"),
            QDir::homePath() + QStringLiteral("/corvane-settings.ini") },
        { QStringLiteral("appPath"), QCoreApplication::applicationDirPath() },
        { QStringLiteral("IS_MULTI_ITEM_SLICING_ENABLED"), multiItemSlicingEnabled },
        { QStringLiteral("IS_ENABLED__CUSTOM_FEATURE__EIGHT_AREAS"), eightAreasEnabled },
        { QStringLiteral("IS_SUPPORTING_ALTERNATIVE_ENABLED"), supportingAlternativeEnabled },
        { QStringLiteral("fontFamiliesAvailable"), fonts.families(QFontDatabase::Any) },
    };
}

void publishContextProperties(QQmlApplicationEngine& engine)
{
    const QVector<ContextProperty> properties = contextProperties();
    for (const ContextProperty& property : properties)
        engine.rootContext()->setContextProperty(property.first, property.second);
}

QUrl mainQmlUrl()
{
    static const QString mainQml = QStringLiteral("qrc:/qt3dmodelbay/StandaloneMain.qml");
    return QUrl(mainQml, QUrl::TolerantMode);
}

}
