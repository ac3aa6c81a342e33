// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlib.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTimer>
#include <QtQml>

Netlib::Netlib()
    : QObject(nullptr)
    , m_request(QUrl())
    , m_agentIP(QStringLiteral("127.0.0.1"))
    , m_agentPort(QStringLiteral("18383"))
    , m_layerID(QLatin1String(""))
    , m_layerCount(QLatin1String(""))
    , m_fetchedProfiles(QLatin1String(""))
    , m_pathOfLayerImages(QLatin1String(""))
{
    init();
}

Netlib::~Netlib()
{
    delete m_progressTimer;
    delete m_networkManager;
}

bool Netlib::discoveryInProgress() const { return m_discoveryInProgress; }
bool Netlib::slicingInProgress() const { return m_slicingInProgress; }
QString Netlib::layerID() const { return m_layerID; }
QString Netlib::layerCount() const { return m_layerCount; }
bool Netlib::slicingDone() const { return m_slicingDone; }
bool Netlib::agentIsTerminated() const { return m_agentIsTerminated; }
QString Netlib::fetchedProfiles() const { return m_fetchedProfiles; }
QString Netlib::pathOfLayerImages() const { return m_pathOfLayerImages; }
bool Netlib::sliceSendInProgress() const { return m_sliceSendInProgress; }
bool Netlib::sliceDownloadInProgress() const { return m_sliceDownloadInProgress; }
QUrl Netlib::sliceDownloadFileUrl() const { return m_sliceDownloadFileUrl; }

void Netlib::setDiscoveryInProgress(bool discoveryInProgress)
{
    m_discoveryInProgress = discoveryInProgress;
    emit discoveryInProgressChanged(m_discoveryInProgress);
}

void Netlib::setSlicingInProgress(bool slicingInProgress)
{
    m_slicingInProgress = slicingInProgress;
    emit slicingInProgressChanged(m_slicingInProgress);
}

void Netlib::setLayerID(QString layerID)
{
    m_layerID = layerID;
    emit layerIDChanged(m_layerID);
}

void Netlib::setLayerCount(QString layerCount)
{
    m_layerCount = layerCount;
    emit layerCountChanged(m_layerCount);
}

void Netlib::setSlicingDone(bool slicingDone)
{
    m_slicingDone = slicingDone;
    emit slicingDoneChanged(m_slicingDone);
}

void Netlib::setAgentIsTerminated(bool terminated)
{
    m_agentIsTerminated = terminated;
    emit agentIsTerminatedChanged(m_agentIsTerminated);
}

void Netlib::setFetchedProfiles(QString profiles)
{
    m_fetchedProfiles = profiles;
    emit fetchedProfilesChanged(m_fetchedProfiles);
}

void Netlib::setPathOfLayerImages(QString path)
{
    m_pathOfLayerImages = path;
    emit pathOfLayerImagesChanged(m_pathOfLayerImages);
}

void Netlib::setSliceSendInProgress(bool sliceSendInProgress)
{
    m_sliceSendInProgress = sliceSendInProgress;
    emit sliceSendInProgressChanged(m_sliceSendInProgress);
}

void Netlib::setSliceDownloadInProgress(bool sliceDownloadInProgress)
{
    m_sliceDownloadInProgress = sliceDownloadInProgress;
    emit sliceDownloadInProgressChanged(m_sliceDownloadInProgress);
}

void Netlib::setSliceDownloadFileUrl(const QUrl &fileUrl)
{
    m_sliceDownloadFileUrl = fileUrl;
    emit sliceDownloadFileUrlChanged(m_sliceDownloadFileUrl);
}

// The operations below are filled in by the agent conversation; until then
// they send nothing and report nothing.
void Netlib::agentDiscover() { }

bool Netlib::agentSlice(const QUrl &, const QString &, QString, QString, QString, QString)
{
    return true;
}

bool Netlib::agentSliceSend(QString, QString, QString, QString, const QString &) { return true; }

bool Netlib::agentSliceDownload(const QString &) { return true; }

bool Netlib::mutliItemSlice(const QUrl &, const QList<QString> &exportNames, const QString &,
    const QString &, const QList<QString> &profileIDs, QString)
{
    return exportNames.size() == profileIDs.size();
}

void Netlib::fetchProfiles(QString, QString) { }

void Netlib::discoveryFinished() { }
void Netlib::slicerFinished() { }
void Netlib::agentLogReady() { }
void Netlib::handleSlicingInProgressChanged(bool) { }
void Netlib::getSlicerProgress() { }
void Netlib::getSlicerProgressFinished() { }
void Netlib::handleAgentTermination() { }
void Netlib::fetchProfilesFinished() { }
void Netlib::sliceSendFinished() { }
void Netlib::sliceDownloadFinished() { }

void Netlib::init()
{
    m_networkManager = new QNetworkAccessManager;
    connect(this, &Netlib::slicingInProgressChanged, this, &Netlib::handleSlicingInProgressChanged);
    m_progressTimer = new QTimer;
    connect(m_progressTimer, &QTimer::timeout, this, &Netlib::getSlicerProgress);
    m_agentProcess = new QProcess(this);
}

QString Netlib::getOsName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("windows");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("osx");
#elif defined(Q_OS_LINUX)
    return QStringLiteral("linux");
#else
    return QString();
#endif
}

void Netlib::terminateAgent() { }

namespace NetLibrary {

void registerNetLibraryQML()
{
    static bool registered = false;
    if (registered)
        return;
    qmlRegisterType<Netlib>("com.corvane.desktop", 1, 0, "Netlib");
    registered = true;
}

}
