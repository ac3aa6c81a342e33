// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_PRINTERCHOICE_H
#define MODELBAY_PRINTERCHOICE_H

#include <QAbstractListModel>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// One printer the agent knows, as the window shows it.
struct PrinterEntry {
    QString name;
    QString maker; // the agent's "maker", or the name's first word
    QString ip;
    QString port;
    bool local = false; // takes job files only: no host to send to
    QString format; // the job file type, e.g. "sl1"; empty when the agent does not say
    QJsonArray profiles; // as the printer list carries them; fetched again when chosen
    QString key() const { return ip + QLatin1Char(':') + port; }
};

// The printers of the agent's "/printer-details" answer; "Not Discovered" entries are left out.
QVector<PrinterEntry> printerEntries(const QByteArray& printerDetails);

// The printers the agent knows and the chosen one's profiles, as a list model for the printer
// panel: filtered by what the user types, grouped by maker, with the chosen printer and profile
// remembered in the settings file, and the plate volume the chosen profile gives. The agent is
// asked again now and then while the window is idle, so that printers added to or removed from
// it show up without a restart.
class PrinterChoice : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)
    Q_PROPERTY(bool searching READ searching NOTIFY listChanged)
    Q_PROPERTY(bool notFound READ notFound NOTIFY listChanged)
    Q_PROPERTY(QString listError READ listError NOTIFY listChanged)
    Q_PROPERTY(int printerCount READ printerCount NOTIFY listChanged)
    // Row of the chosen printer among the rows shown, or -1.
    Q_PROPERTY(int chosenRow READ chosenRow NOTIFY choiceChanged)
    Q_PROPERTY(QString printerName READ printerName NOTIFY choiceChanged)
    Q_PROPERTY(bool printerTakesFiles READ printerTakesFiles NOTIFY choiceChanged)
    Q_PROPERTY(QStringList profileTitles READ profileTitles NOTIFY choiceChanged)
    Q_PROPERTY(int profileIndex READ profileIndex WRITE chooseProfile NOTIFY choiceChanged)
    Q_PROPERTY(QString profileError READ profileError NOTIFY choiceChanged)
    Q_PROPERTY(bool hasProfile READ hasProfile NOTIFY choiceChanged)
    // The chosen profile as the agent gave it.
    Q_PROPERTY(QVariantMap profile READ profileMap NOTIFY choiceChanged)
    Q_PROPERTY(double plateWidth READ plateWidth NOTIFY choiceChanged)
    Q_PROPERTY(double plateDepth READ plateDepth NOTIFY choiceChanged)
    Q_PROPERTY(double plateHeight READ plateHeight NOTIFY choiceChanged)
    Q_PROPERTY(double layerHeight READ layerHeight NOTIFY choiceChanged)
    Q_PROPERTY(bool mirrorX READ mirrorX NOTIFY choiceChanged)
    Q_PROPERTY(bool mirrorY READ mirrorY NOTIFY choiceChanged)
    // The chosen printer's panel ("4098 × 2560 px"), pixel size ("35 × 35 µm"), build volume
    // ("143.4 × 89.6 × 175 mm") and job file type ("SL1"); empty what is not known.
    Q_PROPERTY(QString panelText READ panelText NOTIFY choiceChanged)
    Q_PROPERTY(QString pixelText READ pixelText NOTIFY choiceChanged)
    Q_PROPERTY(QString volumeText READ volumeText NOTIFY choiceChanged)
    Q_PROPERTY(QString formatText READ formatText NOTIFY choiceChanged)
    // While true the choice stays as it is (a job is made for it) and the list is not asked for.
    Q_PROPERTY(bool locked READ locked WRITE setLocked NOTIFY lockedChanged)
    Q_PROPERTY(QString settingsFile READ settingsFile WRITE setSettingsFile NOTIFY lockedChanged)

public:
    enum Role { NameRole = Qt::UserRole + 1, MakerRole, AddressRole, FormatRole, LocalRole };

    explicit PrinterChoice(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString filter() const { return m_filter; }
    void setFilter(const QString& filter);
    bool searching() const { return m_searching; }
    bool notFound() const { return !m_searching && m_printers.isEmpty(); }
    QString listError() const { return m_listError; }
    int printerCount() const { return m_printers.size(); }
    int chosenRow() const { return m_shown.indexOf(m_chosen); }
    bool locked() const { return m_locked; }
    void setLocked(bool locked);
    QString settingsFile() const { return m_settingsFile; }
    void setSettingsFile(const QString& path);

    const PrinterEntry* printer() const;
    QString printerName() const { return printer() ? printer()->name : QString(); }
    bool printerTakesFiles() const { return printer() && printer()->local; }
    QJsonObject profile() const;
    QVariantMap profileMap() const { return profile().toVariantMap(); }
    bool hasProfile() const { return m_profileIndex >= 0; }
    QString profileId() const;
    QStringList profileTitles() const;
    int profileIndex() const { return m_profileIndex; }
    QString profileError() const { return m_profileError; }
    double plateWidth() const;
    double plateDepth() const;
    double plateHeight() const;
    double layerHeight() const;
    bool mirrorX() const;
    bool mirrorY() const;
    QString panelText() const;
    QString pixelText() const;
    QString volumeText() const;
    QString formatText() const;

    void setAgentAddress(const QString& host, const QString& port);
    // How often the idle window asks the agent again, in ms; 0 stops it.
    void setRefreshInterval(int ms);

    // Asks the agent for its printers; at start it is asked a few times before the window says
    // that none was found, since the agent may need a moment to answer.
    Q_INVOKABLE void discover();
    Q_INVOKABLE void choose(int row);
    Q_INVOKABLE void chooseProfile(int index);
    // Asks the agent again for the chosen printer's profiles (one was saved or deleted) and
    // chooses the one with this ProfileID, or else the remembered one.
    void reloadProfiles(const QString& profileId);
    // Chooses the printer listed under `printerKey` and, once its profiles are known, the one
    // named `profileId` (an opened project's). False, changing nothing, when no such printer is
    // listed.
    bool chooseSaved(const QString& printerKey, const QString& profileId);

signals:
    void filterChanged();
    void listChanged();
    void choiceChanged();
    void lockedChanged();

private:
    void ask(bool quiet);
    void listArrived(QNetworkReply* reply, bool quiet);
    void fetchProfiles();
    void profilesArrived(QNetworkReply* reply, const QString& printerKey);
    void applyList(const QVector<PrinterEntry>& printers);
    void rebuildShown();
    QString remembered(const QString& key) const;
    void remember(const QString& key, const QString& value) const;

    QVector<PrinterEntry> m_printers;
    QVector<int> m_shown; // rows of m_printers that pass the filter, by maker and name
    int m_chosen = -1; // row of m_printers
    QJsonArray m_profiles;
    int m_profileIndex = -1;
    QString m_profileError;
    QString m_wantedProfileId; // chosen when the profiles arrive, over the remembered one
    QString m_filter;
    QString m_listError;
    bool m_searching = false;
    bool m_locked = false;
    int m_startAttempts = 0;
    QString m_settingsFile;
    QString m_agentHost;
    QString m_agentPort;
    QNetworkAccessManager* m_network;
    QTimer* m_retryTimer;
    QTimer* m_refreshTimer;
    QNetworkReply* m_listReply = nullptr;
    QNetworkReply* m_profilesReply = nullptr;
};

#endif
