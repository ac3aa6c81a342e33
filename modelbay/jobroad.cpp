// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobroad.h"

#include "facetlab.h"
#include "islandlist.h"
#include "netlib.h"
#include "platemodel.h"
#include "platescene.h"
#include "printerchoice.h"
#include "safereplace.h"
#include "workfolder.h"

#include "agentreply.h"
#include "agenturls.h"
#include "formbody.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

namespace {

const QString kWorkName = QStringLiteral("plate");

QString choiceKey(const PrinterChoice* printers)
{
    const PrinterEntry* printer = printers ? printers->printer() : nullptr;
    return printer ? printer->key() + QLatin1Char('/') + printers->profileId() : QString();
}

QString duration(double seconds)
{
    const int minutes = qMax(1, int(seconds / 60 + 0.5));
    if (minutes < 60)
        return JobRoad::tr("%n min", "", minutes);
    return JobRoad::tr("%1 h %2 min").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

JobRoad::JobRoad(QObject* parent)
    : QObject(parent)
    , m_islands(new IslandList(this))
    , m_workFolder(new WorkFolder(this))
    , m_network(new QNetworkAccessManager(this))
    , m_agentHost(QStringLiteral("127.0.0.1"))
    , m_agentPort(QStringLiteral("18383"))
{
}

JobRoad::~JobRoad() = default;

void JobRoad::setPlate(PlateModel* plate)
{
    if (m_plate == plate)
        return;
    if (m_plate)
        m_plate->disconnect(this);
    m_plate = plate;
    if (plate) {
        // Every change of the plate is a step of its undo stack.
        connect(plate, &PlateModel::undoStateChanged, this,
            [this] { dropStaleJob(tr("The plate changed: slice it again.")); });
        connect(plate, &PlateModel::errorOccurred, this, &JobRoad::tell);
        connect(plate, &PlateModel::filesOpened, this, &JobRoad::openFinished);
        connect(plate, &PlateModel::countChanged, this, [this] {
            if (!m_nameEdited)
                setJobName(QString());
        });
    }
    if (!m_nameEdited)
        setJobName(QString());
    emit wiringChanged();
}

void JobRoad::setNetlib(Netlib* netlib)
{
    if (m_netlib == netlib)
        return;
    if (m_netlib)
        m_netlib->disconnect(this);
    m_netlib = netlib;
    if (netlib) {
        // The client lowers slicingInProgress first and then says how the job ended through
        // slicingDone, on success and on failure alike.
        connect(netlib, &Netlib::slicingDoneChanged, this, [this](bool done) {
            if (m_phase == Slicing && !m_netlib->slicingInProgress())
                slicingEnded(done);
        });
        connect(netlib, &Netlib::layerIDChanged, this, &JobRoad::progressChanged);
        connect(netlib, &Netlib::layerCountChanged, this, &JobRoad::progressChanged);
        connect(netlib, &Netlib::sliceDownloadResult, this, &JobRoad::downloadFinished);
    }
    emit wiringChanged();
}

void JobRoad::setFacetlab(Facetlab* facetlab)
{
    if (m_facetlab == facetlab)
        return;
    if (m_facetlab)
        m_facetlab->disconnect(this);
    m_facetlab = facetlab;
    if (facetlab)
        connect(facetlab, &Facetlab::progressbarValChanged, this, &JobRoad::progressChanged);
    emit wiringChanged();
}

void JobRoad::setPrinters(PrinterChoice* printers)
{
    if (m_printers == printers)
        return;
    if (m_printers)
        m_printers->disconnect(this);
    m_printers = printers;
    if (printers) {
        connect(printers, &PrinterChoice::choiceChanged, this, [this] {
            // A job is made for one printer and profile; the list's filter changes neither.
            if (sliced() && choiceKey(m_printers) != m_jobChoice)
                dropStaleJob(tr("The printer or profile changed: slice the plate again."));
        });
    }
    emit wiringChanged();
}

void JobRoad::setJobSettings(JobSettings* settings)
{
    if (m_settings == settings)
        return;
    if (m_settings)
        m_settings->disconnect(this);
    m_settings = settings;
    if (settings) {
        connect(settings, &JobSettings::valuesEdited, this, [this] {
            dropStaleJob(tr("The job settings changed: save them as a profile and slice again."));
        });
    }
    emit wiringChanged();
}

void JobRoad::setResin(ResinChoice* resin)
{
    if (m_resin == resin)
        return;
    if (m_resin)
        m_resin->disconnect(this);
    m_resin = resin;
    if (resin) {
        connect(resin, &ResinChoice::changed, this, [this] {
            // The sentence of the slice names the cost: it follows the resin.
            const bool saidSliced = m_phase == Sliced && m_message == slicedSentence();
            emit jobChanged();
            if (saidSliced)
                say(slicedSentence());
        });
    }
    emit wiringChanged();
    emit jobChanged();
}

void JobRoad::setAgentAddress(const QString& host, const QString& port)
{
    m_agentHost = host;
    m_agentPort = port;
}

bool JobRoad::busy() const
{
    return m_exportingStl || m_phase == Exporting || m_phase == Slicing || m_phase == Saving
        || m_phase == Sending;
}

void JobRoad::setPhase(Phase phase)
{
    // no equality test: a road that ends where it began still tells QML it moved
    m_phase = phase;
    emit phaseChanged();
    emit progressChanged();
}

void JobRoad::say(const QString& sentence, bool trouble)
{
    m_message = sentence;
    m_trouble = trouble;
    m_notice = false;
    emit messageChanged();
    emit progressChanged();
}

void JobRoad::tell(const QString& sentence)
{
    say(sentence, true);
    m_notice = true;
}

void JobRoad::openFinished(const QStringList& errors)
{
    // A file that opened well takes away what an earlier one that did not open left in the bar.
    if (errors.isEmpty() && m_notice && !busy())
        say(QString());
}

QString JobRoad::objectJobName() const
{
    if (!m_plate || m_plate->count() == 0)
        return kWorkName;
    const QString name
        = m_plate->data(m_plate->index(0), PlateModel::NameRole).toString().trimmed();
    const QString stem = QFileInfo(name).completeBaseName();
    return stem.isEmpty() ? (name.isEmpty() ? kWorkName : name) : stem;
}

void JobRoad::setJobName(const QString& name)
{
    const QString trimmed = name.trimmed();
    // An empty name gives the job its objects' name back.
    m_nameEdited = !trimmed.isEmpty() && trimmed != objectJobName();
    const QString wanted = trimmed.isEmpty() ? objectJobName() : trimmed;
    if (wanted == m_jobName)
        return;
    m_jobName = wanted;
    emit jobNameChanged();
}

void JobRoad::setJob(const SlicedPlate& job)
{
    if (!m_islandQuestion.isEmpty()) {
        m_islandQuestion.clear();
        emit islandQuestionChanged();
    }
    m_job = job;
    ++m_jobSerial;
    m_islands->setPlate(job);
    emit jobChanged();
}

QString JobRoad::estimate() const
{
    if (m_job.printTimeS <= 0)
        return QString();
    return tr("Prints in about %1 with %2").arg(printTimeText(), materialText());
}

QString JobRoad::slicedSentence() const
{
    const int layers = m_job.layerFiles.size();
    const QString sliced
        = layers == 1 ? tr("Sliced: 1 layer.") : tr("Sliced: %1 layers.").arg(layers);
    return estimate().isEmpty() ? sliced
                                : sliced + QLatin1Char(' ') + estimate() + QLatin1Char('.');
}

QString JobRoad::printTimeText() const
{
    return m_job.printTimeS > 0 ? duration(m_job.printTimeS) : QString();
}

QString JobRoad::materialText() const
{
    if (m_resin)
        return m_resin->materialText(m_job.usedMaterialMl);
    return m_job.usedMaterialMl > 0 ? tr("%1 ml").arg(m_job.usedMaterialMl, 0, 'f', 1) : QString();
}

int JobRoad::firstIslandLayer() const
{
    return m_job.islandCount > 0 && !m_job.islands.isEmpty() ? m_job.islands.first().layer : -1;
}

void JobRoad::deliver(Delivery what)
{
    if (m_phase != Sliced)
        return;
    const QString question = islandQuestion(m_job, what == SendDelivery);
    if (question.isEmpty()) {
        goOn(what);
        return;
    }
    m_pendingDelivery = what;
    m_islandQuestion = question;
    emit islandQuestionChanged();
    emit askIslands();
}

void JobRoad::answerIslands(bool deliverAnyway)
{
    if (m_islandQuestion.isEmpty())
        return;
    m_islandQuestion.clear();
    emit islandQuestionChanged();
    if (!deliverAnyway) {
        say(m_pendingDelivery == SendDelivery ? tr("The job was not sent.")
                                              : tr("The job was not saved."));
        return;
    }
    if (m_phase == Sliced)
        goOn(m_pendingDelivery);
}

void JobRoad::goOn(Delivery what)
{
    if (what == SendDelivery)
        send(false);
    else
        emit saveFileWanted();
}

QString JobRoad::progressText() const
{
    if (exporting() && m_facetlab)
        return tr("Writing the plate… %1 %").arg(qRound(m_facetlab->progressbarVal()));
    if (m_phase == Slicing && m_netlib) {
        const int count = m_netlib->layerCount().toInt();
        if (count > 0)
            return tr("Layer %1 of %2").arg(m_netlib->layerID().toInt()).arg(count);
        return tr("Slicing…");
    }
    return m_message;
}

double JobRoad::progress() const
{
    if (exporting() && m_facetlab)
        return m_facetlab->progressbarVal() / 100.0;
    if (m_phase == Slicing && m_netlib) {
        const int count = m_netlib->layerCount().toInt();
        return count > 0 ? qBound(0.0, m_netlib->layerID().toDouble() / count, 1.0) : 0.0;
    }
    return sliced() ? 1.0 : 0.0;
}

// A job or a refusal that no longer matches the plate shown is dropped: it would be saved or
// sent for objects that are no longer where they were.
void JobRoad::dropStaleJob(const QString& why)
{
    switch (m_phase) {
    case Sliced:
        setJob(SlicedPlate());
        m_replaceAsked = false;
        say(why);
        setPhase(Idle);
        break;
    case Exporting:
    case Slicing:
    case Saving:
    case Sending:
        m_changedWhileSlicing = true;
        break;
    case Failed:
        // What failed was the plate as it stood; the plate the user changed is yet to be tried.
        say(QString());
        setPhase(Idle);
        break;
    case Idle:
        break;
    }
}

void JobRoad::slice()
{
    if (busy() || !m_plate || !m_netlib || !m_facetlab || !m_scene)
        return;
    m_replaceAsked = false;
    QString refusal = m_plate->sliceRefusal();
    if (refusal.isEmpty() && !m_workFolder->url().isValid())
        refusal = tr("Cannot make a working folder for the plate in the temporary folder.");
    if (refusal.isEmpty() && (!m_printers || !m_printers->printer() || !m_printers->hasProfile()))
        refusal = tr("Choose a printer and a profile before slicing.");
    // The agent slices a profile it knows: changed values must be one first.
    if (refusal.isEmpty() && m_settings && m_settings->edited())
        refusal = tr("The job settings were changed: save them as a profile of your own, or "
                     "undo the change, before slicing.");
    if (!refusal.isEmpty()) {
        setJob(SlicedPlate());
        say(refusal, true);
        setPhase(Failed);
        return;
    }
    if (m_jobName.isEmpty())
        setJobName(QString());
    setJob(SlicedPlate());
    m_changedWhileSlicing = false;
    say(tr("Writing the plate for the slicer…"));
    setPhase(Exporting);
    QStringList names;
    const QUrl folder = m_workFolder->url();
    const bool written = writePlate(folder, names);
    if (m_facetlab->exportCanceled()) {
        m_facetlab->setExportCanceled(false);
        say(tr("Slicing cancelled."));
        setPhase(Idle);
        return;
    }
    if (!written) {
        say(tr("Cannot write the plate into %1.").arg(localPath(folder)), true);
        setPhase(Failed);
        return;
    }
    const PrinterEntry* printer = m_printers->printer();
    m_jobPrinter = printer->name;
    m_jobChoice = choiceKey(m_printers);
    const QString profileId = m_printers->profileId();
    say(tr("Slicing…"));
    setPhase(Slicing);
    if (m_multiItem) {
        QList<QString> ids;
        for (int i = 0; i < names.size(); ++i)
            ids.append(profileId);
        m_netlib->mutliItemSlice(folder, names, printer->ip, printer->port, ids, m_jobName);
    } else {
        m_netlib->agentSlice(
            folder, names.value(0), printer->ip, printer->port, profileId, m_jobName);
    }
}

// The export appends ".stl" to the name; the slicing calls take the file name as it stands on
// disk.
bool JobRoad::writePlate(const QUrl& folder, QStringList& names)
{
    m_facetlab->setExportCanceled(false);
    if (!m_multiItem) {
        names.append(kWorkName + QLatin1String(".stl"));
        return m_facetlab->exportStl(folder, kWorkName, m_scene->exportEntities());
    }
    for (int row = 0; row < m_plate->count(); ++row) {
        const QString name = kWorkName + QLatin1Char('-') + QString::number(row + 1);
        names.append(name + QLatin1String(".stl"));
        if (!m_facetlab->exportStl(folder, name, m_scene->exportEntity(row))
            || m_facetlab->exportCanceled())
            return false;
    }
    return true;
}

void JobRoad::slicingEnded(bool done)
{
    if (done && m_changedWhileSlicing) {
        say(tr("The plate changed while it was sliced: slice it again."));
        setPhase(Idle);
        return;
    }
    if (!done) {
        say(tr("Slicing failed."), true);
        setPhase(Failed);
        fetchFailure();
        return;
    }
    const SlicedPlate job = readSlicedPlate(m_netlib->pathOfLayerImages());
    if (!job.valid || job.layerFiles.isEmpty()) {
        say(tr("The sliced job in %1 has no readable plate.json: slice it again.")
                .arg(m_netlib->pathOfLayerImages()),
            true);
        setPhase(Failed);
        return;
    }
    setJob(job);
    say(slicedSentence());
    setPhase(Sliced);
}

// The agent keeps the reason of a failed job for its progress answer.
void JobRoad::fetchFailure()
{
    QNetworkReply* reply = m_network->get(
        QNetworkRequest(AgentUrls::agentUrl(AgentUrls::urlSlice, m_agentHost, m_agentPort)));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (m_phase != Failed)
            return;
        const QString sentence = QJsonDocument::fromJson(reply->readAll())
                                     .object()
                                     .value(QStringLiteral("error"))
                                     .toString();
        say(sentence.isEmpty() ? tr("Slicing failed: the slicer agent did not answer.")
                               : tr("Slicing failed: %1").arg(sentence),
            true);
    });
}

void JobRoad::cancel()
{
    // Read by the export at its next progress step.
    if (exporting() && m_facetlab)
        m_facetlab->setExportCanceled(true);
}

void JobRoad::send(bool overwrite)
{
    if (m_phase != Sliced || !m_printers || !m_printers->printer())
        return;
    m_replaceAsked = false;
    const PrinterEntry* printer = m_printers->printer();
    FormItems items = {
        { QStringLiteral("printer"), printer->key() },
        { QStringLiteral("profile"), m_printers->profileId() },
        { QStringLiteral("name"), m_jobName },
        { QStringLiteral("path"), m_job.folder },
    };
    if (overwrite)
        items.append({ QStringLiteral("overwrite"), QStringLiteral("1") });
    QNetworkRequest request(AgentUrls::agentUrl(AgentUrls::urlSliceSend, m_agentHost, m_agentPort));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    // The send is the road's own request: its answer says whether the printer has the file.
    QNetworkReply* reply = m_network->post(request, formBody(items));
    connect(reply, &QNetworkReply::finished, this, [this, reply] { sendFinished(reply); });
    m_changedWhileSlicing = false;
    say(tr("Sending the job to %1…").arg(m_jobPrinter));
    setPhase(Sending);
}

void JobRoad::sendFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    const QByteArray body = reply->readAll();
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    setPhase(Sliced);
    if (reply->error() == QNetworkReply::NoError) {
        const QString stored = answer.value(QStringLiteral("file")).toString();
        say(stored.isEmpty() ? tr("Sent the job to %1.").arg(m_jobPrinter)
                             : tr("Sent the job to %1 as %2.").arg(m_jobPrinter, stored));
    } else if (answer.value(QStringLiteral("exists")).toBool()) {
        say(tr("%1 already has a file named like this job.").arg(m_jobPrinter), true);
        m_replaceAsked = true;
        emit phaseChanged();
        emit askReplaceOnPrinter();
    } else {
        say(agentErrorText(body, reply->errorString()), true);
    }
    if (m_changedWhileSlicing)
        dropStaleJob(tr("The plate changed: slice it again."));
}

void JobRoad::keepPrinterFile()
{
    if (!m_replaceAsked)
        return;
    m_replaceAsked = false;
    emit phaseChanged();
    say(tr("The job was not sent: the printer keeps its file. Rename the job to send it."));
}

// An existing file is replaced only when the user said yes to it: the job is then saved whole
// under a fresh name beside it and renamed over it, so the old file stays as it was until the
// new one is complete. Without that yes the move never replaces a file.
void JobRoad::saveJob(const QUrl& file, bool replaceAgreed)
{
    if (m_phase != Sliced || !m_netlib)
        return;
    m_freshJobFile.clear();
    m_replacedJobFile.clear();
    QUrl destination = file;
    if (replaceAgreed && fileExists(file)) {
        m_freshJobFile = QUrl::fromLocalFile(SafeReplace::freshPathBeside(file.toLocalFile()));
        m_replacedJobFile = file;
        destination = m_freshJobFile;
    }
    m_savingTo = file;
    m_changedWhileSlicing = false;
    say(tr("Saving the job…"));
    setPhase(Saving);
    m_netlib->setSliceDownloadFileUrl(destination);
    m_netlib->agentSliceDownload(m_job.folder);
}

void JobRoad::downloadFinished(bool saved, const QString& failure)
{
    if (m_phase != Saving)
        return;
    QString sentence = saved ? QString() : failure;
    if (!m_replacedJobFile.isEmpty()) {
        const QString fresh = m_freshJobFile.toLocalFile();
        const QString target = m_replacedJobFile.toLocalFile();
        if (saved) {
            sentence = SafeReplace::replace(fresh, target);
        } else {
            QFile::remove(fresh);
            // The user knows the file by the name they chose.
            sentence.replace(fresh, target);
        }
    }
    m_freshJobFile.clear();
    m_replacedJobFile.clear();
    setPhase(Sliced);
    if (sentence.isEmpty())
        say(tr("Saved the job as %1.").arg(localPath(m_savingTo)));
    else
        say(sentence, true);
    if (m_changedWhileSlicing)
        dropStaleJob(tr("The plate changed: slice it again."));
}

// Written whole under a fresh name first, then renamed into place: a cancelled or failed export
// leaves no half-written file, and an existing file (replaced only with replaceAgreed) stays as
// it was until the end.
void JobRoad::exportPlate(const QUrl& file, bool replaceAgreed)
{
    if (busy() || !m_facetlab || !m_scene)
        return;
    const QUrl target = stlUrl(file);
    if (fileExists(target) && !replaceAgreed) {
        say(tr("%1 already exists and was not replaced.").arg(localPath(target)));
        return;
    }
    const QFileInfo fresh(SafeReplace::freshPathBeside(target.toLocalFile()));
    m_exportingStl = true;
    emit phaseChanged();
    m_facetlab->setExportCanceled(false);
    // The export appends ".stl" itself: the fresh name keeps that suffix.
    const bool written = m_facetlab->exportStl(QUrl::fromLocalFile(fresh.absolutePath()),
        fresh.completeBaseName(), m_scene->exportEntities());
    m_exportingStl = false;
    const bool canceled = m_facetlab->exportCanceled();
    m_facetlab->setExportCanceled(false);
    emit phaseChanged();
    if (canceled || !written) {
        QFile::remove(fresh.absoluteFilePath());
        say(canceled ? tr("Export cancelled.") : tr("Cannot write %1.").arg(localPath(target)),
            !canceled);
        return;
    }
    const QString failure = SafeReplace::replace(fresh.absoluteFilePath(), target.toLocalFile());
    if (failure.isEmpty())
        say(tr("Exported the plate to %1.").arg(localPath(target)));
    else
        say(failure, true);
}

QUrl JobRoad::layerImage(int layer) const
{
    QUrl url = layerImageUrl(m_job, layer);
    if (url.isEmpty())
        return url;
    // The next job of the same name writes the same files: a query of its own keeps an image
    // the view has loaded before from being shown again for it.
    url.setQuery(QStringLiteral("job=%1").arg(m_jobSerial));
    return url;
}

bool JobRoad::fileExists(const QUrl& file) const
{
    return file.isLocalFile() && QFileInfo::exists(file.toLocalFile());
}

QUrl JobRoad::stlUrl(const QUrl& file) const
{
    const QString path = file.toLocalFile();
    return path.endsWith(QLatin1String(".stl"), Qt::CaseInsensitive)
        ? file
        : QUrl::fromLocalFile(path + QLatin1String(".stl"));
}

QString JobRoad::localPath(const QUrl& file) const
{
    return file.isLocalFile() ? file.toLocalFile() : file.toString();
}

QString JobRoad::suggestedFileName() const
{
    QString name = m_jobName;
    // A name is no path: separators would make the dialog look in another folder.
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name + QLatin1String(".sl1");
}
