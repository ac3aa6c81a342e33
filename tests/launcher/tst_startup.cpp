// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"
#include "version.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlExpression>
#include <QTest>

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        // A second registration must change nothing.
        Startup::registerQmlTypes();
        Startup::registerQmlTypes();
    }

    void identity()
    {
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Corvane"));
        QCOMPARE(QCoreApplication::organizationDomain(), QStringLiteral("Corvane"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Corvane"));
        QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral(CORVANE_VERSION));
        const QIcon icon = QApplication::windowIcon();
        QVERIFY(!icon.isNull());
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    }

    void mainQmlFile()
    {
        const QUrl url = Startup::mainQmlUrl();
        QCOMPARE(url.toString(), QStringLiteral("qrc:/qt3dmodelbay/StandaloneMain.qml"));
        QVERIFY(QFile::exists(QStringLiteral(":/qt3dmodelbay/StandaloneMain.qml")));
    }

    void contextPropertiesInOrder()
    {
        const QVector<Startup::ContextProperty> properties = Startup::contextProperties();
        const QStringList expectedNames = { QStringLiteral("BUILD_DATE"),
            QStringLiteral("homePath"), QStringLiteral("settingsFilePath"),
            QStringLiteral("appPath"), QStringLiteral("IS_MULTI_ITEM_SLICING_ENABLED"),
            QStringLiteral("IS_ENABLED__CUSTOM_FEATURE__EIGHT_AREAS"),
            QStringLiteral("IS_SUPPORTING_ALTERNATIVE_ENABLED"),
            QStringLiteral("fontFamiliesAvailable") };
        const QVector<int> expectedTypes
            = { QMetaType::QString, QMetaType::QString, QMetaType::QString, QMetaType::QString,
                  QMetaType::Int, QMetaType::Int, QMetaType::Int, QMetaType::QStringList };
        QCOMPARE(properties.size(), expectedNames.size());
        for (int i = 0; i < properties.size(); ++i) {
            QCOMPARE(properties.at(i).first, expectedNames.at(i));
            QCOMPARE(int(properties.at(i).second.userType()), expectedTypes.at(i));
        }
        QCOMPARE(properties.at(0).second.toString(), QStringLiteral("Oct 2020"));
        QCOMPARE(properties.at(1).second.toString(), QDir::homePath());
        QCOMPARE(properties.at(3).second.toString(), QCoreApplication::applicationDirPath());
        QVERIFY(!properties.at(3).second.toString().endsWith(QLatin1Char('/')));
        QCOMPARE(properties.at(4).second.toInt(), 0);
        QCOMPARE(properties.at(5).second.toInt(), 0);
        QCOMPARE(properties.at(6).second.toInt(), 1);
    }

    void settingsFileFollowsHome_data()
    {
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QStringLiteral("/home/u")
                               << QStringLiteral("/home/u/corvane-settings.ini");
        QTest::newRow("spaces") << QStringLiteral("/home/my user")
                                << QStringLiteral("/home/my user/corvane-settings.ini");
    }

    void settingsFileFollowsHome()
    {
        QFETCH(QString, home);
        QFETCH(QString, expected);
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", home.toUtf8());
        const QVector<Startup::ContextProperty> properties = Startup::contextProperties();
        qputenv("HOME", savedHome);
        QCOMPARE(properties.at(1).second.toString(), home);
        QCOMPARE(properties.at(2).second.toString(), expected);
    }

    void qmlSeesThePublishedValues_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("switch is a number")
            << QStringLiteral("typeof IS_SUPPORTING_ALTERNATIVE_ENABLED")
            << QVariant(QStringLiteral("number"));
        QTest::newRow("1 is not === true")
            << QStringLiteral("IS_SUPPORTING_ALTERNATIVE_ENABLED === true") << QVariant(false);
        QTest::newRow("1 is truthy")
            << QStringLiteral("IS_SUPPORTING_ALTERNATIVE_ENABLED ? 'on' : 'off'")
            << QVariant(QStringLiteral("on"));
        QTest::newRow("0 is not === false")
            << QStringLiteral("IS_MULTI_ITEM_SLICING_ENABLED === false") << QVariant(false);
        QTest::newRow("0 is falsy")
            << QStringLiteral("IS_ENABLED__CUSTOM_FEATURE__EIGHT_AREAS ? 'on' : 'off'")
            << QVariant(QStringLiteral("off"));
        QTest::newRow("fonts are strings") << QStringLiteral(
            "fontFamiliesAvailable.length === 0 || typeof fontFamiliesAvailable[0] === 'string'")
                                           << QVariant(true);
        QTest::newRow("build date")
            << QStringLiteral("BUILD_DATE") << QVariant(QStringLiteral("Oct 2020"));
        QTest::newRow("settings file")
            << QStringLiteral("settingsFilePath === homePath + '/corvane-settings.ini'")
            << QVariant(true);
    }

    void qmlSeesThePublishedValues()
    {
        QFETCH(QString, expression);
        QFETCH(QVariant, expected);
        QQmlApplicationEngine engine;
        Startup::publishContextProperties(engine);
        QQmlExpression evaluate(engine.rootContext(), nullptr, expression);
        const QVariant result = evaluate.evaluate();
        QVERIFY2(!evaluate.hasError(), qPrintable(evaluate.error().toString()));
        QCOMPARE(result, expected);
    }

    void qmlCreatesBothTypes()
    {
        QQmlApplicationEngine engine;
        QQmlComponent component(&engine);
        component.setData(
            "import QtQml 2.12\n"
            "import com.corvane.desktop 1.0\n"
            "QtObject {\n"
            "  property QtObject netlib: Netlib { }\n"
            "  property QtObject facetlab: Facetlab { }\n"
            "  property int onlyCount: Facetlab.ExportStlCallStatus_OnlyCalculateTriangleCount\n"
            "  property int extract: Facetlab.ExportStlCallStatus_ExtractMeshData\n"
            "  property bool multiItem: typeof netlib.mutliItemSlice === 'function'\n"
            "}\n",
            QUrl());
        QScopedPointer<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        QCOMPARE(root->property("onlyCount").toInt(), 0);
        QCOMPARE(root->property("extract").toInt(), 1);
        QCOMPARE(root->property("multiItem").toBool(), true);
        QCOMPARE(
            QLatin1String(root->property("netlib").value<QObject*>()->metaObject()->className()),
            QLatin1String("Netlib"));
        QCOMPARE(
            QLatin1String(root->property("facetlab").value<QObject*>()->metaObject()->className()),
            QLatin1String("Facetlab"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
