// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The meta-object surface the editor's QML depends on: any drift in order,
// names, types, parameter names or access breaks the QML silently, so every
// entry is compared with the table the QML was written against.
#include "facetlab.h"
#include "netlib.h"

#include <QMetaEnum>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>

namespace {

QString describe(const QMetaMethod& method)
{
    static const char* const kinds[] = { "method", "signal", "slot", "constructor" };
    static const char* const accesses[] = { "private", "protected", "public" };
    QStringList parameters;
    const QList<QByteArray> types = method.parameterTypes();
    const QList<QByteArray> names = method.parameterNames();
    for (int i = 0; i < types.size(); ++i)
        parameters << QString::fromLatin1(types.at(i) + ' ' + names.value(i));
    return QStringLiteral("%1 %2 %3 %4(%5)")
        .arg(QLatin1String(kinds[method.methodType()]), QLatin1String(accesses[method.access()]),
            QLatin1String(method.typeName()), QLatin1String(method.name()),
            parameters.join(QLatin1String(", ")));
}

QString describe(const QMetaProperty& property)
{
    QStringList flags;
    if (property.isReadable())
        flags << QStringLiteral("READ");
    if (property.isWritable())
        flags << QStringLiteral("WRITE");
    if (property.hasNotifySignal())
        flags << QStringLiteral("NOTIFY ")
                + QLatin1String(property.notifySignal().methodSignature());
    if (property.isResettable())
        flags << QStringLiteral("RESET");
    if (property.isConstant())
        flags << QStringLiteral("CONSTANT");
    if (property.isFinal())
        flags << QStringLiteral("FINAL");
    return QStringLiteral("%1 %2 %3")
        .arg(QLatin1String(property.typeName()), QLatin1String(property.name()),
            flags.join(QLatin1Char(' ')));
}

const QStringList netlibMethods = {
    QStringLiteral("signal public void discoveryInProgressChanged(bool discoveryInProgress)"),
    QStringLiteral("signal public void discoveryResultChanged(QJsonArray jsonArray)"),
    QStringLiteral("signal public void slicingInProgressChanged(bool slicingInProgress)"),
    QStringLiteral("signal public void layerIDChanged(QString layerID)"),
    QStringLiteral("signal public void layerCountChanged(QString layerCount)"),
    QStringLiteral("signal public void slicingDoneChanged(bool slicingDone)"),
    QStringLiteral("signal public void agentIsTerminatedChanged(bool terminated)"),
    QStringLiteral("signal public void fetchedProfilesChanged(QString profiles)"),
    QStringLiteral("signal public void fetchingResultChanged(QJsonArray jsonArray)"),
    QStringLiteral("signal public void pathOfLayerImagesChanged(QString path)"),
    QStringLiteral("signal public void sliceSendInProgressChanged(bool sliceSendInProgress)"),
    QStringLiteral(
        "signal public void sliceDownloadInProgressChanged(bool sliceDownloadInProgress)"),
    QStringLiteral("signal public void sliceDownloadFileUrlChanged(QUrl fileUrl)"),
    QStringLiteral("signal public void sliceSendResult(bool sent, QString message)"),
    QStringLiteral("signal public void sliceDownloadResult(bool saved, QString message)"),
    QStringLiteral("slot private void discoveryFinished()"),
    QStringLiteral("slot private void slicerFinished()"),
    QStringLiteral("slot private void agentLogReady()"),
    QStringLiteral("slot private void handleSlicingInProgressChanged(bool slicingInProgress)"),
    QStringLiteral("slot private void getSlicerProgress()"),
    QStringLiteral("slot private void getSlicerProgressFinished()"),
    QStringLiteral("slot private void handleAgentTermination()"),
    QStringLiteral("slot private void fetchProfilesFinished()"),
    QStringLiteral("slot private void sliceSendFinished()"),
    QStringLiteral("slot private void sliceDownloadFinished()"),
    QStringLiteral("method public void agentDiscover()"),
    QStringLiteral(
        "method public bool agentSlice(QUrl folder, QString exportName, QString dravikIP, "
        "QString dravikPort, QString profileID, QString name)"),
    QStringLiteral("method public bool agentSliceSend(QString dravikIP, QString dravikPort, "
                   "QString profileID, QString jobName, QString pathOfLayers)"),
    QStringLiteral("method public bool agentSliceDownload(QString pathOfLayers)"),
    QStringLiteral(
        "method public bool mutliItemSlice(QUrl folder, QList<QString> exportNames, "
        "QString dravikIP, QString dravikPort, QList<QString> profileIDs, QString name)"),
    QStringLiteral("method public void fetchProfiles(QString ip, QString port)"),
};

const QStringList netlibProperties = {
    QStringLiteral("bool discoveryInProgress READ WRITE NOTIFY discoveryInProgressChanged(bool)"),
    QStringLiteral("bool slicingInProgress READ WRITE NOTIFY slicingInProgressChanged(bool)"),
    QStringLiteral("QString layerID READ WRITE NOTIFY layerIDChanged(QString)"),
    QStringLiteral("QString layerCount READ WRITE NOTIFY layerCountChanged(QString)"),
    QStringLiteral("bool slicingDone READ WRITE NOTIFY slicingDoneChanged(bool)"),
    QStringLiteral("bool agentIsTerminated READ WRITE NOTIFY agentIsTerminatedChanged(bool)"),
    QStringLiteral("QString fetchedProfiles READ WRITE NOTIFY fetchedProfilesChanged(QString)"),
    QStringLiteral("QString pathOfLayerImages READ WRITE NOTIFY pathOfLayerImagesChanged(QString)"),
    QStringLiteral("bool sliceSendInProgress READ WRITE NOTIFY sliceSendInProgressChanged(bool)"),
    QStringLiteral(
        "bool sliceDownloadInProgress READ WRITE NOTIFY sliceDownloadInProgressChanged(bool)"),
    QStringLiteral("QUrl sliceDownloadFileUrl READ WRITE NOTIFY sliceDownloadFileUrlChanged(QUrl)"),
};

const QStringList facetlabMethods = {
    QStringLiteral("signal public void stlExportInProgressChanged(bool stlExportInProgress)"),
    QStringLiteral("signal public void progressbarValChanged(float progressbarVal)"),
    QStringLiteral("signal public void exportCanceledChanged(bool exportCanceled)"),
    QStringLiteral("slot public void handleTrianglesExportedChanged()"),
    QStringLiteral("method public bool exportStl(QUrl folder, QString exportName, QVariant v)"),
};

const QStringList facetlabProperties = {
    QStringLiteral("bool stlExportInProgress READ WRITE NOTIFY stlExportInProgressChanged(bool)"),
    QStringLiteral("float progressbarVal READ WRITE NOTIFY progressbarValChanged(float)"),
    QStringLiteral("bool exportCanceled READ WRITE NOTIFY exportCanceledChanged(bool)"),
};

QStringList actualMethods(const QMetaObject& meta)
{
    QStringList result;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        result << describe(meta.method(i));
    return result;
}

QStringList actualProperties(const QMetaObject& meta)
{
    QStringList result;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        result << describe(meta.property(i));
    return result;
}

}

class TestQmlSurface : public QObject {
    Q_OBJECT

private slots:
    void surface_data()
    {
        QTest::addColumn<QStringList>("actual");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Netlib methods") << actualMethods(Netlib::staticMetaObject) << netlibMethods;
        QTest::newRow("Netlib properties")
            << actualProperties(Netlib::staticMetaObject) << netlibProperties;
        QTest::newRow("Facetlab methods")
            << actualMethods(Facetlab::staticMetaObject) << facetlabMethods;
        QTest::newRow("Facetlab properties")
            << actualProperties(Facetlab::staticMetaObject) << facetlabProperties;
    }

    void surface()
    {
        QFETCH(QStringList, actual);
        QFETCH(QStringList, expected);
        for (int i = 0; i < qMin(actual.size(), expected.size()); ++i)
            QCOMPARE(actual.at(i), expected.at(i));
        QCOMPARE(actual.size(), expected.size());
    }

    void classInfo()
    {
        QCOMPARE(QLatin1String(Netlib::staticMetaObject.superClass()->className()),
            QLatin1String("QObject"));
        QCOMPARE(QLatin1String(Facetlab::staticMetaObject.superClass()->className()),
            QLatin1String("QObject"));
        QCOMPARE(Netlib::staticMetaObject.constructorCount(), 0);
        QCOMPARE(Facetlab::staticMetaObject.constructorCount(), 0);
    }

    void exportStatusEnumeration()
    {
        const QMetaObject& meta = Facetlab::staticMetaObject;
        QCOMPARE(meta.enumeratorCount() - meta.enumeratorOffset(), 1);
        const QMetaEnum status = meta.enumerator(meta.enumeratorOffset());
        QCOMPARE(QLatin1String(status.name()), QLatin1String("ExportStlCallStatus"));
        QVERIFY(!status.isFlag());
        QVERIFY(!status.isScoped());
        QCOMPARE(status.keyCount(), 2);
        QCOMPARE(QLatin1String(status.key(0)),
            QLatin1String("ExportStlCallStatus_OnlyCalculateTriangleCount"));
        QCOMPARE(status.value(0), 0);
        QCOMPARE(
            QLatin1String(status.key(1)), QLatin1String("ExportStlCallStatus_ExtractMeshData"));
        QCOMPARE(status.value(1), 1);
    }

    void settersEmitOnUnchangedValues_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("value");
        const QVariant texts[] = { QStringLiteral(""), QStringLiteral("12") };
        for (const QVariant& text : texts) {
            for (const char* name :
                { "layerID", "layerCount", "fetchedProfiles", "pathOfLayerImages" })
                QTest::addRow("Netlib %s '%s'", name, qPrintable(text.toString()))
                    << QStringLiteral("Netlib") << QByteArray(name) << text;
        }
        for (bool flag : { false, true }) {
            for (const char* name : { "discoveryInProgress", "slicingInProgress", "slicingDone",
                     "agentIsTerminated", "sliceSendInProgress", "sliceDownloadInProgress" })
                QTest::addRow("Netlib %s %d", name, flag)
                    << QStringLiteral("Netlib") << QByteArray(name) << QVariant(flag);
            for (const char* name : { "stlExportInProgress", "exportCanceled" })
                QTest::addRow("Facetlab %s %d", name, flag)
                    << QStringLiteral("Facetlab") << QByteArray(name) << QVariant(flag);
        }
        QTest::newRow("Netlib sliceDownloadFileUrl empty")
            << QStringLiteral("Netlib") << QByteArray("sliceDownloadFileUrl") << QVariant(QUrl());
        QTest::newRow("Netlib sliceDownloadFileUrl file")
            << QStringLiteral("Netlib") << QByteArray("sliceDownloadFileUrl")
            << QVariant(QUrl::fromLocalFile(QStringLiteral("/tmp/job.sl1")));
        QTest::newRow("Facetlab progressbarVal 0")
            << QStringLiteral("Facetlab") << QByteArray("progressbarVal") << QVariant(0.0f);
        QTest::newRow("Facetlab progressbarVal 44.6425")
            << QStringLiteral("Facetlab") << QByteArray("progressbarVal") << QVariant(44.6425f);
    }

    void settersEmitOnUnchangedValues()
    {
        QFETCH(QString, className);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        QScopedPointer<QObject> object;
        if (className == QLatin1String("Netlib"))
            object.reset(new Netlib);
        else
            object.reset(new Facetlab);
        const QMetaObject* meta = object->metaObject();
        const QMetaProperty metaProperty
            = meta->property(meta->indexOfProperty(property.constData()));
        QVERIFY(metaProperty.isValid());
        QSignalSpy changed(object.data(), metaProperty.notifySignal());
        QVERIFY(metaProperty.write(object.data(), value));
        QVERIFY(metaProperty.write(object.data(), value));
        QCOMPARE(changed.count(), 2);
        for (const QList<QVariant>& emission : qAsConst(changed))
            QCOMPARE(emission.at(0), value);
        QCOMPARE(metaProperty.read(object.data()), value);
    }

    void freshObjectsStartIdle()
    {
        Netlib netlib;
        QCOMPARE(netlib.discoveryInProgress(), false);
        QCOMPARE(netlib.slicingInProgress(), false);
        QCOMPARE(netlib.slicingDone(), false);
        QCOMPARE(netlib.agentIsTerminated(), false);
        QVERIFY(!netlib.layerID().isNull() && netlib.layerID().isEmpty());
        QVERIFY(!netlib.layerCount().isNull() && netlib.layerCount().isEmpty());
        QVERIFY(!netlib.fetchedProfiles().isNull() && netlib.fetchedProfiles().isEmpty());
        QVERIFY(!netlib.pathOfLayerImages().isNull() && netlib.pathOfLayerImages().isEmpty());
        QVERIFY(netlib.sliceDownloadFileUrl().isEmpty());
        QVERIFY(netlib.parent() == nullptr);

        Facetlab facetlab;
        QCOMPARE(facetlab.stlExportInProgress(), false);
        QCOMPARE(facetlab.progressbarVal(), 0.0f);
        QCOMPARE(facetlab.exportCanceled(), false);
        QVERIFY(facetlab.parent() == nullptr);
    }
};

QTEST_MAIN(TestQmlSurface)
#include "tst_qmlsurface.moc"
