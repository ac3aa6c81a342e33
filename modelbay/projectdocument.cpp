// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "projectdocument.h"

#include "platemodel.h"
#include "printerchoice.h"
#include "supportoptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr int kMostRecent = 6;
constexpr int kRecoveryIntervalMs = 3 * 60 * 1000;
const char* const kRecentKey = "projects/recent";

QString lockPathOf(const QString& recovery)
{
    return recovery.left(recovery.size() - 4) + QStringLiteral(".lock");
}

}

ProjectDocument::ProjectDocument(QObject* parent)
    : QObject(parent)
    , m_recoveryFolder(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
          + QStringLiteral("/recovery"))
    , m_recoveryTimer(new QTimer(this))
{
    m_recoveryTimer->setInterval(kRecoveryIntervalMs);
    connect(m_recoveryTimer, &QTimer::timeout, this, &ProjectDocument::writeRecovery);
    m_recoveryTimer->start();
}

ProjectDocument::~ProjectDocument()
{
    if (m_recoveryWatcher)
        m_recoveryWatcher->waitForFinished();
    m_recoveryRunning = false;
    removeRecovery();
}

PlateModel* ProjectDocument::plate() const { return m_plate; }

PrinterChoice* ProjectDocument::printers() const { return m_printers; }

void ProjectDocument::setPlate(PlateModel* plate)
{
    if (m_plate == plate)
        return;
    if (m_plate)
        m_plate->disconnect(this);
    m_plate = plate;
    if (m_plate) {
        connect(m_plate, &PlateModel::undoStateChanged, this, &ProjectDocument::changed);
        connect(m_plate->supportOptions(), &SupportOptions::changed, this, [this] {
            if (!m_applying)
                m_optionsChanged = true;
            changed();
        });
    }
    emit plateChanged();
    changed();
}

void ProjectDocument::setPrinters(PrinterChoice* printers)
{
    if (m_printers == printers)
        return;
    m_printers = printers;
    emit plateChanged();
}

void ProjectDocument::setSettingsFile(const QString& path)
{
    if (m_settingsFile == path)
        return;
    m_settingsFile = path;
    emit recentChanged();
}

QUrl ProjectDocument::fileUrl() const
{
    return m_path.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_path);
}

bool ProjectDocument::modified() const
{
    return m_plate && (!m_plate->undoStack()->isClean() || m_optionsChanged);
}

QString ProjectDocument::title() const
{
    const QString name = m_path.isEmpty() ? tr("Untitled") : QFileInfo(m_path).completeBaseName();
    return (modified() ? QStringLiteral("*") : QString()) + name + QStringLiteral(" — Corvane");
}

QStringList ProjectDocument::recentProjects() const
{
    if (m_settingsFile.isEmpty())
        return QStringList();
    QStringList recent = QSettings(m_settingsFile, QSettings::IniFormat)
                             .value(QLatin1String(kRecentKey))
                             .toStringList();
    recent.erase(std::remove_if(recent.begin(), recent.end(),
                     [](const QString& path) { return !QFileInfo::exists(path); }),
        recent.end());
    return recent;
}

bool ProjectDocument::proceedAfter(Answer answer)
{
    switch (answer) {
    case Save:
        if (m_path.isEmpty())
            return false;
        if (const QString error = save(); !error.isEmpty()) {
            emit errorOccurred(error);
            return false;
        }
        return true;
    case Discard:
        return true;
    case Cancel:
        break;
    }
    return false;
}

QString ProjectDocument::save()
{
    if (m_path.isEmpty())
        return tr("The project has no file yet: choose one with Save project as…");
    return saveAs(QUrl::fromLocalFile(m_path));
}

QString ProjectDocument::saveAs(const QUrl& file)
{
    if (!m_plate)
        return tr("There is no plate to save.");
    QString path = file.isLocalFile() ? file.toLocalFile() : file.toString();
    if (!path.endsWith(QLatin1String(".3mf"), Qt::CaseInsensitive))
        path += QStringLiteral(".3mf");
    const QString error = ProjectFile::save(current(), path);
    if (!error.isEmpty())
        return error;
    setPath(path);
    markSaved();
    addRecent(path);
    return QString();
}

QString ProjectDocument::open(const QUrl& file)
{
    if (!m_plate)
        return tr("There is no plate to open the project on.");
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.toString();
    Project project;
    QString error;
    if (!ProjectFile::load(path, project, error))
        return error;
    apply(project);
    setPath(QFileInfo(path).absoluteFilePath());
    markSaved();
    addRecent(m_path);
    return QString();
}

QUrl ProjectDocument::projectAmong(const QVariant& files) const
{
    const QStringList paths = localFilePaths(files);
    for (const QString& path : paths) {
        if (ProjectFile::isProjectFile(path))
            return QUrl::fromLocalFile(path);
    }
    return QUrl();
}

QString ProjectDocument::displayName(const QString& path) const
{
    return QFileInfo(path).fileName();
}

Project ProjectDocument::current() const
{
    Project project;
    project.objects = m_plate->objects();
    project.supportsAutomatic = m_plate->supportOptions()->automatic();
    project.supportSettings = m_plate->supportOptions()->settings();
    if (m_printers && m_printers->printer()) {
        project.printerKey = m_printers->printer()->key();
        project.printerName = m_printers->printerName();
        project.profileId = m_printers->profileId();
    }
    return project;
}

void ProjectDocument::apply(const Project& project)
{
    m_applying = true;
    SupportOptions* options = m_plate->supportOptions();
    const SupportSettings& s = project.supportSettings;
    options->setBranching(s.style == SupportSettings::Style::Branching);
    options->setOverhangAngle(s.overhangAngleDeg);
    options->setDensity(s.density);
    options->setContactDiameter(s.contactDiameterMm);
    options->setShaftDiameter(s.shaftDiameterMm);
    options->setLift(s.liftMm);
    options->setPad(s.padMm);
    options->setAutomatic(project.supportsAutomatic);
    m_plate->replaceAll(project.objects);
    if (m_printers && !project.printerKey.isEmpty())
        m_printers->chooseSaved(project.printerKey, project.profileId);
    m_applying = false;
}

void ProjectDocument::setPath(const QString& path)
{
    if (m_path == path)
        return;
    m_path = path;
    emit fileChanged();
    emit titleChanged();
}

void ProjectDocument::markSaved()
{
    m_optionsChanged = false;
    m_plate->undoStack()->setClean();
    changed();
}

void ProjectDocument::changed()
{
    if (!m_applying)
        m_recoveryStale = true;
    const bool now = modified();
    if (!now)
        removeRecovery();
    if (now != m_wasModified) {
        m_wasModified = now;
        emit modifiedChanged();
    }
    emit titleChanged();
}

void ProjectDocument::addRecent(const QString& path)
{
    if (m_settingsFile.isEmpty())
        return;
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    QStringList recent = settings.value(QLatin1String(kRecentKey)).toStringList();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > kMostRecent)
        recent.removeLast();
    settings.setValue(QLatin1String(kRecentKey), recent);
    emit recentChanged();
}

// ---- recovery ----

void ProjectDocument::setRecoveryFolder(const QString& folder)
{
    removeRecovery();
    m_recoveryLock.reset();
    m_recoveryFolder = folder;
}

QString ProjectDocument::recoveryPath() const
{
    return m_recoveryFolder
        + QStringLiteral("/recovery-%1.3mf").arg(QCoreApplication::applicationPid());
}

void ProjectDocument::setRecoveryInterval(int ms)
{
    m_recoveryTimer->setInterval(ms);
    m_recoveryTimer->start();
}

bool ProjectDocument::writeRecovery()
{
    if (!m_plate || !modified() || !m_recoveryStale || m_recoveryRunning)
        return false;
    if (!m_recoveryLock) {
        QDir().mkpath(m_recoveryFolder);
        m_recoveryLock = std::make_unique<QLockFile>(lockPathOf(recoveryPath()));
        if (!m_recoveryLock->tryLock(0)) {
            m_recoveryLock.reset();
            return false;
        }
    }
    m_recoveryStale = false;
    m_recoveryRunning = true;
    // The meshes are shared, not copied: the worker only reads them.
    const Project project = current();
    const QString path = recoveryPath();
    auto* watcher = new QFutureWatcher<QString>(this);
    m_recoveryWatcher = watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_recoveryWatcher = nullptr;
        m_recoveryRunning = false;
        const QString error = watcher->result();
        // Saved or cleaned meanwhile: the copy is not wanted any more.
        if (!modified())
            removeRecovery();
        emit recoveryWritten(error);
    });
    watcher->setFuture(
        QtConcurrent::run([project, path] { return ProjectFile::save(project, path); }));
    return true;
}

void ProjectDocument::removeRecovery()
{
    if (!m_recoveryLock || m_recoveryRunning)
        return;
    QFile::remove(recoveryPath());
}

QString ProjectDocument::orphanedRecovery() const
{
    const QFileInfoList copies
        = QDir(m_recoveryFolder)
              .entryInfoList({ QStringLiteral("recovery-*.3mf") }, QDir::Files, QDir::Time);
    for (const QFileInfo& copy : copies) {
        const QString path = copy.absoluteFilePath();
        if (path == QFileInfo(recoveryPath()).absoluteFilePath() && m_recoveryLock)
            continue;
        // The window that wrote it still holds its lock while it runs.
        QLockFile lock(lockPathOf(path));
        if (lock.tryLock(0))
            return path;
    }
    return QString();
}

QString ProjectDocument::restoreRecovery(const QString& path)
{
    Project project;
    QString error;
    if (!ProjectFile::load(path, project, error))
        return error;
    apply(project);
    setPath(QString());
    // Unsaved work: marked changed, and kept by our own copy before the old one goes.
    m_optionsChanged = true;
    m_recoveryStale = true;
    changed();
    writeRecovery();
    discardRecovery(path);
    return QString();
}

void ProjectDocument::discardRecovery(const QString& path)
{
    QFile::remove(path);
    QFile::remove(lockPathOf(path));
}
