// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_JOBROAD_H
#define MODELBAY_JOBROAD_H

#include "facetlab.h"
#include "netlib.h"
#include "platemodel.h"
#include "platescene.h"
#include "jobsettings.h"
#include "printerchoice.h"
#include "resinchoice.h"
#include "slicedplate.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class IslandList;
class QNetworkAccessManager;
class QNetworkReply;
class WorkFolder;

// The road of one job: the plate is written into the window's work folder (Facetlab), the agent
// slices it (Netlib), and the sliced job is saved as a file or sent to the printer. It holds the
// sentence the bottom bar shows, drops a job the plate or the printer no longer matches, and
// reads the job's plate document once for the preview, the island list and the supports.
class JobRoad : public QObject {
    Q_OBJECT
    Q_PROPERTY(PlateModel* plate READ plate WRITE setPlate NOTIFY wiringChanged)
    Q_PROPERTY(PlateScene* plateScene MEMBER m_scene NOTIFY wiringChanged)
    Q_PROPERTY(Netlib* netlib READ netlib WRITE setNetlib NOTIFY wiringChanged)
    Q_PROPERTY(Facetlab* facetlab READ facetlab WRITE setFacetlab NOTIFY wiringChanged)
    Q_PROPERTY(PrinterChoice* printers READ printers WRITE setPrinters NOTIFY wiringChanged)
    // Values changed there and not yet saved as a profile make the job stale and keep it from
    // being sliced.
    Q_PROPERTY(JobSettings* jobSettings READ jobSettings WRITE setJobSettings NOTIFY wiringChanged)
    // The resin the weight and cost are reckoned for.
    Q_PROPERTY(ResinChoice* resin READ resin WRITE setResin NOTIFY wiringChanged)
    // Each object of the plate goes to the agent as a file of its own.
    Q_PROPERTY(bool multiItem MEMBER m_multiItem NOTIFY wiringChanged)
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    // True when the message tells of something that went wrong.
    Q_PROPERTY(bool trouble READ trouble NOTIFY messageChanged)
    Q_PROPERTY(QString jobName READ jobName WRITE setJobName NOTIFY jobNameChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY phaseChanged)
    Q_PROPERTY(bool exporting READ exporting NOTIFY phaseChanged)
    // A sliced job is at hand (also while it is saved or sent).
    Q_PROPERTY(bool sliced READ sliced NOTIFY phaseChanged)
    Q_PROPERTY(int layerCount READ layerCount NOTIFY jobChanged)
    Q_PROPERTY(double layerHeight READ layerHeight NOTIFY jobChanged)
    Q_PROPERTY(QString estimate READ estimate NOTIFY jobChanged)
    Q_PROPERTY(int peelWarningCount READ peelWarningCount NOTIFY jobChanged)
    // The sliced job's print time ("3 h 24 min") and resin ("72.6 ml · 79.9 g · 2.18 €").
    Q_PROPERTY(QString printTimeText READ printTimeText NOTIFY jobChanged)
    Q_PROPERTY(QString materialText READ materialText NOTIFY jobChanged)
    // The layer of the job's lowest island (from 0), or -1.
    Q_PROPERTY(int firstIslandLayer READ firstIslandLayer NOTIFY jobChanged)
    // The question deliver() asks, while it waits for answerIslands().
    Q_PROPERTY(QString islandQuestion READ pendingIslandQuestion NOTIFY islandQuestionChanged)
    Q_PROPERTY(Delivery pendingDelivery MEMBER m_pendingDelivery NOTIFY islandQuestionChanged)
    Q_PROPERTY(IslandList* islands READ islands CONSTANT)
    Q_PROPERTY(QString progressText READ progressText NOTIFY progressChanged)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    // The printer has a file of the job's name: askReplaceOnPrinter() was emitted.
    Q_PROPERTY(bool replaceOnPrinterAsked READ replaceOnPrinterAsked NOTIFY phaseChanged)

public:
    enum Phase { Idle, Exporting, Slicing, Sliced, Saving, Sending, Failed };
    Q_ENUM(Phase)
    enum Delivery { SaveDelivery, SendDelivery };
    Q_ENUM(Delivery)

    explicit JobRoad(QObject* parent = nullptr);
    ~JobRoad() override;

    PlateModel* plate() const { return m_plate; }
    void setPlate(PlateModel* plate);
    Netlib* netlib() const { return m_netlib; }
    void setNetlib(Netlib* netlib);
    Facetlab* facetlab() const { return m_facetlab; }
    void setFacetlab(Facetlab* facetlab);
    PrinterChoice* printers() const { return m_printers; }
    void setPrinters(PrinterChoice* printers);
    JobSettings* jobSettings() const { return m_settings; }
    void setJobSettings(JobSettings* settings);
    ResinChoice* resin() const { return m_resin; }
    void setResin(ResinChoice* resin);

    Phase phase() const { return m_phase; }
    QString message() const { return m_message; }
    bool trouble() const { return m_trouble; }
    QString jobName() const { return m_jobName; }
    void setJobName(const QString& name);
    bool busy() const;
    bool exporting() const { return m_phase == Exporting || m_exportingStl; }
    bool sliced() const { return m_phase == Sliced || m_phase == Saving || m_phase == Sending; }
    int layerCount() const { return m_job.layerFiles.size(); }
    double layerHeight() const { return m_job.layerHeightMm; }
    QString estimate() const;
    int peelWarningCount() const { return m_job.peelWarningLayers.size(); }
    QString printTimeText() const;
    QString materialText() const;
    int firstIslandLayer() const;
    QString pendingIslandQuestion() const { return m_islandQuestion; }
    IslandList* islands() const { return m_islands; }
    QString progressText() const;
    double progress() const;
    bool replaceOnPrinterAsked() const { return m_replaceAsked; }
    const SlicedPlate& job() const { return m_job; }

    // The agent's address; the window's agent always serves the default.
    void setAgentAddress(const QString& host, const QString& port);

    Q_INVOKABLE void slice();
    // Saving or sending a job with islands asks first (islandQuestion, askIslands()); the
    // delivery waits for answerIslands(). A save goes on with saveFileWanted(), for the window
    // to ask where; a send goes on with send().
    Q_INVOKABLE void deliver(Delivery what);
    Q_INVOKABLE void answerIslands(bool deliverAnyway);
    // Stops writing the plate (for slicing or "Export STL").
    Q_INVOKABLE void cancel();
    // `overwrite`: the user agreed to replace the printer's file of the same name.
    Q_INVOKABLE void send(bool overwrite = false);
    Q_INVOKABLE void keepPrinterFile();
    // An existing file is replaced only with `replaceAgreed`, and never left half written.
    Q_INVOKABLE void saveJob(const QUrl& file, bool replaceAgreed = false);
    Q_INVOKABLE void exportPlate(const QUrl& file, bool replaceAgreed = false);
    // A sentence of something else the user should know (a file that did not open); it stays
    // until the next outcome of the road or the next open that goes well.
    Q_INVOKABLE void tell(const QString& sentence);
    // A plain outcome of the window's own (a file kept as it was).
    Q_INVOKABLE void inform(const QString& sentence) { say(sentence); }

    Q_INVOKABLE QUrl layerImage(int layer) const;
    Q_INVOKABLE bool fileExists(const QUrl& file) const;
    // The name "Export STL" writes: it appends ".stl" to any other name.
    Q_INVOKABLE QUrl stlUrl(const QUrl& file) const;
    Q_INVOKABLE QString localPath(const QUrl& file) const;
    // What the Save dialog offers: the job's name with the job file's suffix.
    Q_INVOKABLE QString suggestedFileName() const;

signals:
    void wiringChanged();
    void phaseChanged();
    void messageChanged();
    void jobNameChanged();
    void jobChanged();
    void progressChanged();
    void askReplaceOnPrinter();
    void askIslands();
    void islandQuestionChanged();
    void saveFileWanted();

private:
    void setPhase(Phase phase);
    void say(const QString& sentence, bool trouble = false);
    void setJob(const SlicedPlate& job);
    void goOn(Delivery what);
    // "Sliced: 240 layers." and the estimates.
    QString slicedSentence() const;
    void dropStaleJob(const QString& why);
    QString objectJobName() const;
    bool writePlate(const QUrl& folder, QStringList& names);
    void slicingEnded(bool done);
    void fetchFailure();
    void sendFinished(QNetworkReply* reply);
    void downloadFinished(bool saved, const QString& failure);
    void openFinished(const QStringList& errors);

    QPointer<PlateModel> m_plate;
    QPointer<PlateScene> m_scene;
    QPointer<Netlib> m_netlib;
    QPointer<Facetlab> m_facetlab;
    QPointer<PrinterChoice> m_printers;
    QPointer<JobSettings> m_settings;
    QPointer<ResinChoice> m_resin;
    QString m_islandQuestion;
    Delivery m_pendingDelivery = SaveDelivery;
    bool m_multiItem = false;
    Phase m_phase = Idle;
    QString m_message;
    bool m_trouble = false;
    bool m_notice = false; // the message is one given with tell()
    QString m_jobName;
    bool m_nameEdited = false; // the user named the job: the objects no longer do
    bool m_exportingStl = false;
    bool m_changedWhileSlicing = false;
    bool m_replaceAsked = false;
    SlicedPlate m_job;
    IslandList* m_islands;
    WorkFolder* m_workFolder;
    QNetworkAccessManager* m_network;
    QString m_agentHost;
    QString m_agentPort;
    QString m_jobPrinter; // the name of the printer the job was sliced for
    QString m_jobChoice; // and its printer and profile keys: another choice makes the job stale
    int m_jobSerial = 0; // tells the layer images of two jobs of the same name apart
    // While a saved job replaces a file: the fresh name it is saved under first, and the file.
    QUrl m_freshJobFile;
    QUrl m_replacedJobFile;
    QUrl m_savingTo;
};

#endif
