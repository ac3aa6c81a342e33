// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_JOBSETTINGS_H
#define MODELBAY_JOBSETTINGS_H

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

#include "printerchoice.h"

class QNetworkAccessManager;
class QNetworkReply;

// The exposure and motion values of the chosen profile, as the "Job settings" panel shows and
// changes them. Changed values are sliced only once they are saved as a profile of the user's
// own through the agent: the slicing request keeps naming a profile by its ProfileID, and the
// saved profile becomes the chosen one. A profile of the user's own can be deleted again.
class JobSettings : public QObject {
    Q_OBJECT
    Q_PROPERTY(PrinterChoice* printers READ printers WRITE setPrinters NOTIFY wiringChanged)
    // One map per value: "key" (the profile's key), "label", "unit", "value", "from", "to",
    // "decimals" and "changed".
    Q_PROPERTY(QVariantList fields READ fields NOTIFY valuesChanged)
    // Some value differs from the chosen profile's.
    Q_PROPERTY(bool edited READ edited NOTIFY valuesChanged)
    Q_PROPERTY(bool available READ available NOTIFY valuesChanged)
    // The chosen profile is one of the user's own: it can be deleted, and saving under its
    // title replaces it.
    Q_PROPERTY(bool ownProfile READ ownProfile NOTIFY valuesChanged)
    Q_PROPERTY(QString profileTitle READ profileTitle NOTIFY valuesChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY stateChanged)
    Q_PROPERTY(QString message READ message NOTIFY stateChanged)
    Q_PROPERTY(bool trouble READ trouble NOTIFY stateChanged)

public:
    explicit JobSettings(QObject* parent = nullptr);

    PrinterChoice* printers() const { return m_printers; }
    void setPrinters(PrinterChoice* printers);
    void setAgentAddress(const QString& host, const QString& port);

    QVariantList fields() const;
    bool edited() const;
    bool available() const { return !m_base.isEmpty(); }
    bool ownProfile() const;
    QString profileTitle() const;
    bool busy() const { return m_reply != nullptr; }
    QString message() const { return m_message; }
    bool trouble() const { return m_trouble; }
    double value(const QString& key) const { return m_values.value(key); }

    // Changes one value; a key the panel does not show is ignored.
    Q_INVOKABLE void setValue(const QString& key, double value);
    // Back to the chosen profile's values.
    Q_INVOKABLE void revert();
    // Saves the values as the user's own profile named `title`, based on the chosen profile,
    // and chooses it once the agent has it.
    Q_INVOKABLE void saveAs(const QString& title);
    // Deletes the chosen profile when it is one of the user's own.
    Q_INVOKABLE void deleteProfile();

signals:
    void wiringChanged();
    void valuesChanged();
    void stateChanged();
    // The user changed a value (not: another profile was chosen).
    void valuesEdited();

private:
    void load();
    void post(
        const QString& path, const QList<QPair<QString, QString>>& items, const QString& doing);
    void answered(QNetworkReply* reply, bool deleting);
    void say(const QString& sentence, bool trouble);

    QPointer<PrinterChoice> m_printers;
    QJsonObject m_base; // the chosen profile as the agent gave it
    QString m_baseKey; // its printer and ProfileID
    QMap<QString, double> m_values;
    QString m_message;
    bool m_trouble = false;
    QNetworkAccessManager* m_network;
    QNetworkReply* m_reply = nullptr;
    QString m_agentHost;
    QString m_agentPort;
};

#endif
