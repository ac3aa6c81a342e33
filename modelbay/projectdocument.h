// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PROJECTDOCUMENT_H
#define MODELBAY_PROJECTDOCUMENT_H

#include "projectfile.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <memory>

class PlateModel;
class PrinterChoice;
class QFutureWatcherBase;
class QTimer;

// The plate as a document: the project file it was opened from or saved to, whether it changed
// since (the undo stack's clean state, and the support options), the window's title, the recent
// projects (kept in the settings file), and a recovery copy written in the background every few
// minutes while there are unsaved changes, which a window started after a crash offers back.
// QML asks the questions; every decision is made here.
class ProjectDocument : public QObject {
    Q_OBJECT
    Q_PROPERTY(PlateModel* plate READ plate WRITE setPlate NOTIFY plateChanged)
    Q_PROPERTY(PrinterChoice* printers READ printers WRITE setPrinters NOTIFY plateChanged)
    Q_PROPERTY(QString settingsFile READ settingsFile WRITE setSettingsFile NOTIFY recentChanged)
    Q_PROPERTY(QUrl fileUrl READ fileUrl NOTIFY fileChanged)
    Q_PROPERTY(bool modified READ modified NOTIFY modifiedChanged)
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(QStringList recentProjects READ recentProjects NOTIFY recentChanged)

public:
    enum Answer { Save, Discard, Cancel };
    Q_ENUM(Answer)

    explicit ProjectDocument(QObject* parent = nullptr);
    ~ProjectDocument() override; // a clean close: the recovery copy goes

    PlateModel* plate() const;
    void setPlate(PlateModel* plate);
    PrinterChoice* printers() const;
    void setPrinters(PrinterChoice* printers);
    QString settingsFile() const { return m_settingsFile; }
    void setSettingsFile(const QString& path);
    QUrl fileUrl() const;
    QString filePath() const { return m_path; }
    bool modified() const;
    QString title() const;
    QStringList recentProjects() const;

    // Whether closing the window or replacing the plate must ask first (unsaved changes).
    Q_INVOKABLE bool mustAsk() const { return modified(); }
    // What the user answered to that question: whether to go ahead. Save saves to the project's
    // file (false when it has none yet, or saving failed: errorOccurred says why).
    Q_INVOKABLE bool proceedAfter(Answer answer);

    // Each gives an empty text on success, else one sentence; a failure changes nothing.
    Q_INVOKABLE QString save();
    Q_INVOKABLE QString saveAs(const QUrl& file);
    Q_INVOKABLE QString open(const QUrl& file);
    // The first project among files dropped or chosen (URLs or paths), or an empty URL: a 3MF
    // carrying our part is a project, any other file a model for the plate.
    Q_INVOKABLE QUrl projectAmong(const QVariant& files) const;
    // A project's name without its folder, for the recent list.
    Q_INVOKABLE QString displayName(const QString& path) const;
    Q_INVOKABLE QUrl urlOf(const QString& path) const { return QUrl::fromLocalFile(path); }

    // The recovery copy left by a window that ended without closing, or empty.
    Q_INVOKABLE QString orphanedRecovery() const;
    // Puts it on the plate as unsaved changes (empty text) and takes it over, or removes it.
    Q_INVOKABLE QString restoreRecovery(const QString& path);
    Q_INVOKABLE void discardRecovery(const QString& path);

    // Where recovery copies are kept (the user's data folder unless set) and how often one is
    // written while there are unsaved changes.
    void setRecoveryFolder(const QString& folder);
    QString recoveryPath() const;
    void setRecoveryInterval(int ms);
    // Writes the recovery copy now if the plate changed since the last one; false if not needed.
    bool writeRecovery();

signals:
    void plateChanged();
    void fileChanged();
    void modifiedChanged();
    void titleChanged();
    void recentChanged();
    void recoveryWritten(const QString& error);
    void errorOccurred(const QString& sentence);

private:
    Project current() const;
    void apply(const Project& project);
    void setPath(const QString& path);
    void markSaved();
    void changed();
    void addRecent(const QString& path);
    void removeRecovery();

    QPointer<PlateModel> m_plate;
    QPointer<PrinterChoice> m_printers;
    QString m_settingsFile;
    QString m_path;
    bool m_optionsChanged = false;
    bool m_applying = false;
    bool m_wasModified = false;
    bool m_recoveryStale = false;
    bool m_recoveryRunning = false;
    QString m_recoveryFolder;
    std::unique_ptr<QLockFile> m_recoveryLock;
    QTimer* m_recoveryTimer;
    QFutureWatcherBase* m_recoveryWatcher = nullptr;
};

#endif
