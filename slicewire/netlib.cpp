// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "netlib.h"

#include "agentreply.h"
#include "agenturls.h"
#include "formbody.h"
#include "jobfilemove.h"
#include "slicingprogress.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTimer>
#include <QtQml>

namespace {

const QString jsonContentType = QStringLiteral("application/json; charset=utf-8");
const QString formContentType = QStringLiteral("application/x-www-form-urlencoded; charset=utf-8");
const int pollIntervalMs = 1000;
const int agentStopWaitMs = 30000;

// The reply whose finished() called the slot. Requests can overlap (a
// discovery and a profiles fetch, say), so by then m_reply may already hold a
// later request's reply; the shared member is only the fallback for a call
// that did not come from a reply. A reply still in flight is never handled.
QNetworkReply* finishedReply(QObject* sender, QNetworkReply* latest)
{
    auto* reply = qobject_cast<QNetworkReply*>(sender);
    if (!reply)
        reply = latest;
    return reply && reply->isFinished() ? reply : nullptr;
}

// Releases a handled reply and forgets it as the latest one, so m_reply never
// points at a released object.
void releaseReply(QNetworkReply* reply, QNetworkReply*& latest)
{
    reply->deleteLater();
    if (latest == reply)
        latest = nullptr;
}

QJsonObject replyObject(QNetworkReply* reply)
{
    // A body that is not JSON, or not an object, reads as an empty object.
    return QJsonDocument::fromJson(reply->readAll()).object();
}

}

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
    terminateAgent();
    m_agentProcess->terminate();
    // waitForFinished() is false when the exit has already been seen by the
    // event loop, so the process state decides whether to wait and to kill.
    if (m_agentProcess->state() != QProcess::NotRunning)
        m_agentProcess->waitForFinished(agentStopWaitMs);
    if (m_agentProcess->state() != QProcess::NotRunning) {
        m_agentProcess->kill();
        // Reap the killed agent here rather than in ~QProcess, which warns.
        m_agentProcess->waitForFinished();
    }
    // The owned members go in reverse order of their declaration.
    delete m_progressTimer;
    delete m_agentProcess;
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

void Netlib::setSliceDownloadFileUrl(const QUrl& fileUrl)
{
    m_sliceDownloadFileUrl = fileUrl;
    emit sliceDownloadFileUrlChanged(m_sliceDownloadFileUrl);
}

void Netlib::agentDiscover()
{
    m_request.setUrl(AgentUrls::agentUrl(AgentUrls::urlPrinterDetails, m_agentIP, m_agentPort));
    m_request.setHeader(QNetworkRequest::ContentTypeHeader, jsonContentType);
    m_reply = m_networkManager->get(m_request);
    connect(m_reply, &QNetworkReply::finished, this, &Netlib::discoveryFinished);
    setDiscoveryInProgress(true);
}

void Netlib::discoveryFinished()
{
    QNetworkReply* reply = finishedReply(sender(), m_reply);
    if (!reply)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        // Never an empty list on failure: the QML shows "Not Discovered".
        emit discoveryResultChanged(fallbackPrinterList());
    } else {
        emit discoveryResultChanged(
            replyObject(reply).value(QLatin1String("printers_array")).toArray());
    }
    setDiscoveryInProgress(false);
    releaseReply(reply, m_reply);
}

void Netlib::fetchProfiles(QString ip, QString port)
{
    m_request.setUrl(AgentUrls::printerProfilesUrl(m_agentIP, m_agentPort, ip, port));
    m_request.setHeader(QNetworkRequest::ContentTypeHeader, jsonContentType);
    m_reply = m_networkManager->get(m_request);
    connect(m_reply, &QNetworkReply::finished, this, &Netlib::fetchProfilesFinished);
}

void Netlib::fetchProfilesFinished()
{
    QNetworkReply* reply = finishedReply(sender(), m_reply);
    if (!reply)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        setFetchedProfiles(reply->errorString());
    } else {
        const QByteArray body = reply->readAll();
        const QString text = QString::fromUtf8(body);
        // An empty answer leaves the last profiles in place.
        if (!text.isEmpty()) {
            setFetchedProfiles(text);
            emit fetchingResultChanged(QJsonDocument::fromJson(body).array());
        }
    }
    releaseReply(reply, m_reply);
}

bool Netlib::agentSlice(const QUrl& folder, const QString& exportName, QString dravikIP,
    QString dravikPort, QString profileID, QString name)
{
    m_request.setUrl(AgentUrls::agentUrl(AgentUrls::urlSlicePreview, m_agentIP, m_agentPort));
    m_request.setHeader(QNetworkRequest::ContentTypeHeader, formContentType);
    // The agent runs on this machine and reads the STL file itself. The "/"
    // is appended even after a folder path that ends in one.
    const FormItems items = {
        { QStringLiteral("stl"), folder.toLocalFile() + QLatin1Char('/') + exportName },
        { QStringLiteral("printer"), dravikIP + QLatin1Char(':') + dravikPort },
        { QStringLiteral("profile"), profileID },
        { QStringLiteral("name"), name },
    };
    m_reply = m_networkManager->post(m_request, formBody(items));
    connect(m_reply, &QNetworkReply::finished, this, &Netlib::slicerFinished);
    // Starts (or restarts) the poll timer through handleSlicingInProgressChanged.
    setSlicingInProgress(true);
    return true;
}

bool Netlib::mutliItemSlice(const QUrl& folder, const QList<QString>& exportNames,
    const QString& dravikIP, const QString& dravikPort, const QList<QString>& profileIDs,
    QString name)
{
    if (exportNames.size() != profileIDs.size())
        return false;
    m_request.setUrl(AgentUrls::agentUrl(AgentUrls::urlAdvancedSlice, m_agentIP, m_agentPort));
    m_request.setHeader(QNetworkRequest::ContentTypeHeader, formContentType);
    FormItems items = {
        { QStringLiteral("count"), QString::number(exportNames.size(), 10) },
        { QStringLiteral("printer"), dravikIP + QLatin1Char(':') + dravikPort },
        { QStringLiteral("name"), name },
    };
    // Items are numbered from 1 and each item's two fields stand together.
    for (int i = 0; i < exportNames.size(); ++i) {
        items.append({ QStringLiteral("stls_%1").arg(i + 1),
            folder.toLocalFile() + QLatin1Char('/') + exportNames.at(i) });
        items.append({ QStringLiteral("profiles_%1").arg(i + 1), profileIDs.at(i) });
    }
    m_reply = m_networkManager->post(m_request, formBody(items));
    connect(m_reply, &QNetworkReply::finished, this, &Netlib::slicerFinished);
    setSlicingInProgress(true);
    return true;
}

void Netlib::slicerFinished()
{
    QNetworkReply* reply = finishedReply(sender(), m_reply);
    if (!reply)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        setSlicingInProgress(false);
        setSlicingDone(false);
    } else {
        // The job goes on in the agent; the polls end it.
        setPathOfLayerImages(replyObject(reply).value(QLatin1String("path")).toString());
    }
    releaseReply(reply, m_reply);
}

void Netlib::handleSlicingInProgressChanged(bool slicingInProgress)
{
    if (slicingInProgress) {
        // Also restarts a running timer: the next poll comes one interval later.
        m_progressTimer->start(pollIntervalMs);
    } else {
        m_progressTimer->stop();
        setLayerID(QLatin1String(""));
    }
}

void Netlib::getSlicerProgress()
{
    // Each poll has a manager and a request of its own, so it never disturbs
    // the shared request or the reply of another operation in flight. The
    // manager goes with its reply once the answer has been handled.
    auto* manager = new QNetworkAccessManager(this);
    QNetworkRequest request(AgentUrls::agentUrl(AgentUrls::urlSlice, m_agentIP, m_agentPort));
    request.setHeader(QNetworkRequest::ContentTypeHeader, jsonContentType);
    QNetworkReply* reply = manager->get(request);
    connect(reply, &QNetworkReply::finished, this, &Netlib::getSlicerProgressFinished);
}

void Netlib::getSlicerProgressFinished()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return;
    QString percentage = QLatin1String("");
    if (reply->error() != QNetworkReply::NoError) {
        setSlicingInProgress(false);
        setSlicingDone(false);
    } else {
        const QJsonObject progress = replyObject(reply);
        // keys() comes sorted: "layerCount", "layerID", then "percentage".
        const QStringList keys = progress.keys();
        for (const QString& key : keys) {
            if (key == QLatin1String("layerID"))
                setLayerID(progress.value(key).toString());
            else if (key == QLatin1String("layerCount"))
                setLayerCount(progress.value(key).toString());
            else if (key == QLatin1String("percentage"))
                percentage = progress.value(key).toString();
        }
        if (isSlicingFinished(percentage, m_pathOfLayerImages)) {
            setSlicingInProgress(false);
            setSlicingDone(true);
        }
    }
    reply->deleteLater();
    reply->manager()->deleteLater();
}

bool Netlib::agentSliceSend(QString dravikIP, QString dravikPort, QString profileID,
    QString jobName, const QString& pathOfLayers)
{
    m_request.setUrl(AgentUrls::agentUrl(AgentUrls::urlSliceSend, m_agentIP, m_agentPort));
    m_request.setHeader(QNetworkRequest::ContentTypeHeader, formContentType);
    const FormItems items = {
        { QStringLiteral("printer"), dravikIP + QLatin1Char(':') + dravikPort },
        { QStringLiteral("profile"), profileID },
        { QStringLiteral("name"), jobName },
        { QStringLiteral("path"), pathOfLayers },
    };
    m_reply = m_networkManager->post(m_request, formBody(items));
    connect(m_reply, &QNetworkReply::finished, this, &Netlib::sliceSendFinished);
    setSliceSendInProgress(true);
    return true;
}

void Netlib::sliceSendFinished()
{
    QNetworkReply* reply = finishedReply(sender(), m_reply);
    if (!reply)
        return;
    // A failed send must not look like one that went through.
    if (reply->error() != QNetworkReply::NoError)
        emit sliceSendResult(false, agentErrorText(reply->readAll(), reply->errorString()));
    else
        emit sliceSendResult(true, QLatin1String(""));
    setSliceSendInProgress(false);
    releaseReply(reply, m_reply);
}

bool Netlib::agentSliceDownload(const QString& pathOfLayers)
{
    m_request.setUrl(AgentUrls::agentUrl(AgentUrls::urlSliceDownload, m_agentIP, m_agentPort));
    m_request.setHeader(QNetworkRequest::ContentTypeHeader, formContentType);
    const FormItems items = { { QStringLiteral("path"), pathOfLayers } };
    m_reply = m_networkManager->post(m_request, formBody(items));
    connect(m_reply, &QNetworkReply::finished, this, &Netlib::sliceDownloadFinished);
    setSliceDownloadInProgress(true);
    return true;
}

void Netlib::sliceDownloadFinished()
{
    QNetworkReply* reply = finishedReply(sender(), m_reply);
    if (!reply)
        return;
    if (reply->error() != QNetworkReply::NoError) {
        emit sliceDownloadResult(false, agentErrorText(reply->readAll(), reply->errorString()));
    } else {
        const QByteArray body = reply->readAll();
        const QJsonObject answer = QJsonDocument::fromJson(body).object();
        const QLatin1String fileKey("file");
        if (answer.contains(fileKey)) {
            // The destination is read now: the QML may change it while the
            // agent works. A URL that names no local file (a bare path given
            // to a url property has no scheme) is not "no destination".
            const QUrl destination = m_sliceDownloadFileUrl;
            const QString failure = !destination.isEmpty() && destination.toLocalFile().isEmpty()
                ? QStringLiteral("The job file was not saved to %1: it is not a local file.")
                      .arg(destination.toString())
                : moveJobFile(answer.value(fileKey).toString(), destination.toLocalFile());
            emit sliceDownloadResult(failure.isEmpty(), failure);
        } else {
            // The agent may say why it wrote no job file.
            emit sliceDownloadResult(false,
                agentErrorText(body,
                    QStringLiteral("The job file was not saved: the agent named no job file.")));
        }
    }
    setSliceDownloadInProgress(false);
    releaseReply(reply, m_reply);
}

void Netlib::agentLogReady()
{
    // Nobody reads the agent's log; drain it so it does not pile up in memory.
    while (m_agentProcess->canReadLine())
        m_agentProcess->readLine();
}

void Netlib::handleAgentTermination()
{
    QNetworkReply* reply = finishedReply(sender(), m_reply);
    if (!reply)
        return;
    // Says whether the agent acknowledged the request, not whether it runs.
    setAgentIsTerminated(reply->error() == QNetworkReply::NoError);
    releaseReply(reply, m_reply);
}

void Netlib::init()
{
    m_networkManager = new QNetworkAccessManager;
    connect(this, &Netlib::slicingInProgressChanged, this, &Netlib::handleSlicingInProgressChanged);
    m_progressTimer = new QTimer(this);
    connect(m_progressTimer, &QTimer::timeout, this, &Netlib::getSlicerProgress);
    m_agentProcess = new QProcess(this);

    const QString os = getOsName();
    QString agentFile;
    if (os == QLatin1String("linux") || os == QLatin1String("osx"))
        agentFile = QStringLiteral("/agent");
    else if (os == QLatin1String("windows"))
        agentFile = QStringLiteral("/agent.exe");
    if (agentFile.isEmpty())
        return;

    // Beside the program in a build tree; in an installed tree the agent is a
    // helper program of ours in libexec, found relative to bin/.
    const QString appDir = QCoreApplication::applicationDirPath();
    QString agentPath = appDir + agentFile;
    if (!QFileInfo(agentPath).exists()) {
        const QString installed = appDir + QStringLiteral("/../libexec/corvane") + agentFile;
        if (QFileInfo(installed).exists())
            agentPath = QDir::cleanPath(installed);
    }
    const QFileInfo agentInfo(agentPath);
    if (!agentInfo.exists() || !agentInfo.isFile())
        return;
    // The agent's output and error go into one channel that agentLogReady drains.
    m_agentProcess->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_agentProcess, &QProcess::readyRead, this, &Netlib::agentLogReady);
    // No arguments: the agent's defaults make it serve 127.0.0.1:18383.
    m_agentProcess->start(agentPath, QStringList(), QIODevice::ReadWrite);
    // The start is not awaited: an agent that failed to start shows through
    // every request failing.
    setAgentIsTerminated(false);
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

void Netlib::terminateAgent()
{
    // Sent without waiting: the reply only matters while the object lives.
    m_request.setUrl(AgentUrls::agentUrl(AgentUrls::urlTerminate, m_agentIP, m_agentPort));
    m_request.setHeader(QNetworkRequest::ContentTypeHeader, jsonContentType);
    m_reply = m_networkManager->get(m_request);
    connect(m_reply, &QNetworkReply::finished, this, &Netlib::handleAgentTermination);
}

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
