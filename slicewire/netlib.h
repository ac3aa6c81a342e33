// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SLICEWIRE_NETLIB_H
#define SLICEWIRE_NETLIB_H

#include "slicewire_export.h"

#include <QJsonArray>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QProcess;
class QTimer;

// QML face of the slicer agent client: starts the agent next to the program,
// talks HTTP to it and publishes every outcome as a property or a signal.
class SLICEWIRE_EXPORT Netlib : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool discoveryInProgress READ discoveryInProgress WRITE setDiscoveryInProgress NOTIFY
            discoveryInProgressChanged)
    Q_PROPERTY(bool slicingInProgress READ slicingInProgress WRITE setSlicingInProgress NOTIFY
            slicingInProgressChanged)
    Q_PROPERTY(QString layerID READ layerID WRITE setLayerID NOTIFY layerIDChanged)
    Q_PROPERTY(QString layerCount READ layerCount WRITE setLayerCount NOTIFY layerCountChanged)
    Q_PROPERTY(bool slicingDone READ slicingDone WRITE setSlicingDone NOTIFY slicingDoneChanged)
    Q_PROPERTY(bool agentIsTerminated READ agentIsTerminated WRITE setAgentIsTerminated NOTIFY
            agentIsTerminatedChanged)
    Q_PROPERTY(QString fetchedProfiles READ fetchedProfiles WRITE setFetchedProfiles NOTIFY
            fetchedProfilesChanged)
    Q_PROPERTY(QString pathOfLayerImages READ pathOfLayerImages WRITE setPathOfLayerImages NOTIFY
            pathOfLayerImagesChanged)
    Q_PROPERTY(bool sliceSendInProgress READ sliceSendInProgress WRITE setSliceSendInProgress NOTIFY
            sliceSendInProgressChanged)
    Q_PROPERTY(bool sliceDownloadInProgress READ sliceDownloadInProgress WRITE
            setSliceDownloadInProgress NOTIFY sliceDownloadInProgressChanged)
    Q_PROPERTY(QUrl sliceDownloadFileUrl READ sliceDownloadFileUrl WRITE setSliceDownloadFileUrl
            NOTIFY sliceDownloadFileUrlChanged)

public:
    Netlib();
    virtual ~Netlib();

    bool discoveryInProgress() const;
    bool slicingInProgress() const;
    QString layerID() const;
    QString layerCount() const;
    bool slicingDone() const;
    bool agentIsTerminated() const;
    QString fetchedProfiles() const;
    QString pathOfLayerImages() const;
    bool sliceSendInProgress() const;
    bool sliceDownloadInProgress() const;
    QUrl sliceDownloadFileUrl() const;

    // No equality test in any setter: the QML relies on one emit per write.
    void setDiscoveryInProgress(bool discoveryInProgress);
    void setSlicingInProgress(bool slicingInProgress);
    void setLayerID(QString layerID);
    void setLayerCount(QString layerCount);
    void setSlicingDone(bool slicingDone);
    void setAgentIsTerminated(bool terminated);
    void setFetchedProfiles(QString profiles);
    void setPathOfLayerImages(QString path);
    void setSliceSendInProgress(bool sliceSendInProgress);
    void setSliceDownloadInProgress(bool sliceDownloadInProgress);
    void setSliceDownloadFileUrl(const QUrl& fileUrl);

    Q_INVOKABLE void agentDiscover();
    Q_INVOKABLE bool agentSlice(const QUrl& folder, const QString& exportName, QString dravikIP,
        QString dravikPort, QString profileID, QString name);
    Q_INVOKABLE bool agentSliceSend(QString dravikIP, QString dravikPort, QString profileID,
        QString jobName, const QString& pathOfLayers);
    Q_INVOKABLE bool agentSliceDownload(const QString& pathOfLayers);
    // The name is spelled "mutli" on purpose: the QML calls it by this name.
    Q_INVOKABLE bool mutliItemSlice(const QUrl& folder, const QList<QString>& exportNames,
        const QString& dravikIP, const QString& dravikPort, const QList<QString>& profileIDs,
        QString name);
    Q_INVOKABLE void fetchProfiles(QString ip, QString port);

signals:
    void discoveryInProgressChanged(bool discoveryInProgress);
    void discoveryResultChanged(QJsonArray jsonArray);
    void slicingInProgressChanged(bool slicingInProgress);
    void layerIDChanged(QString layerID);
    void layerCountChanged(QString layerCount);
    void slicingDoneChanged(bool slicingDone);
    void agentIsTerminatedChanged(bool terminated);
    void fetchedProfilesChanged(QString profiles);
    void fetchingResultChanged(QJsonArray jsonArray);
    void pathOfLayerImagesChanged(QString path);
    void sliceSendInProgressChanged(bool sliceSendInProgress);
    void sliceDownloadInProgressChanged(bool sliceDownloadInProgress);
    void sliceDownloadFileUrlChanged(QUrl fileUrl);
    // Outcome of one send or download, emitted once per finished request just
    // before the in-progress property falls: sent/saved true with an empty
    // message, or false with a sentence for the user.
    void sliceSendResult(bool sent, QString message);
    void sliceDownloadResult(bool saved, QString message);

private slots:
    void discoveryFinished();
    void slicerFinished();
    void agentLogReady();
    void handleSlicingInProgressChanged(bool slicingInProgress);
    void getSlicerProgress();
    void getSlicerProgressFinished();
    void handleAgentTermination();
    void fetchProfilesFinished();
    void sliceSendFinished();
    void sliceDownloadFinished();

private:
    void init();
    QString getOsName();
    void terminateAgent();

    QNetworkAccessManager* m_networkManager = nullptr;
    QNetworkRequest m_request;
    QNetworkReply* m_reply = nullptr;
    bool m_discoveryInProgress = false;
    bool m_slicingInProgress = false;
    QProcess* m_agentProcess = nullptr;
    QString m_agentIP;
    QString m_agentPort;
    QTimer* m_progressTimer = nullptr;
    QString m_layerID;
    QString m_layerCount;
    bool m_slicingDone = false;
    bool m_agentIsTerminated = false;
    QString m_fetchedProfiles;
    QString m_pathOfLayerImages;
    bool m_sliceSendInProgress = false;
    bool m_sliceDownloadInProgress = false;
    QUrl m_sliceDownloadFileUrl;
};

namespace NetLibrary {
SLICEWIRE_EXPORT void registerNetLibraryQML();
}

#endif
