// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_RESINCHOICE_H
#define MODELBAY_RESINCHOICE_H

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

// A resin as the estimates need it: its density and what a litre of it costs.
struct Resin {
    QString name;
    double densityGPerMl = 1.1;
    double pricePerLitre = 0;
};

// A few common resins, the first one the default.
QVector<Resin> commonResins();

// The weight in grams of `volumeMl` millilitres of a resin of this density; 0 for a volume or
// density that is not positive.
double resinWeightG(double volumeMl, double densityGPerMl);
// What `volumeMl` millilitres cost at this price per litre; 0 for a volume or price that is not
// positive.
double resinCost(double volumeMl, double pricePerLitre);

// The resin chosen in Preferences, kept in the settings file under "resin/": one of the common
// resins or one the user names, with its density, price per litre and currency sign.
class ResinChoice : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString settingsFile READ settingsFile WRITE setSettingsFile NOTIFY changed)
    Q_PROPERTY(QString name READ name NOTIFY changed)
    Q_PROPERTY(double density READ density NOTIFY changed)
    Q_PROPERTY(double pricePerLitre READ pricePerLitre NOTIFY changed)
    Q_PROPERTY(QString currency READ currency NOTIFY changed)
    Q_PROPERTY(QStringList commonNames READ commonNames CONSTANT)

public:
    explicit ResinChoice(QObject* parent = nullptr);

    QString settingsFile() const { return m_settingsFile; }
    void setSettingsFile(const QString& path);
    const Resin& resin() const { return m_resin; }
    QString name() const { return m_resin.name; }
    double density() const { return m_resin.densityGPerMl; }
    double pricePerLitre() const { return m_resin.pricePerLitre; }
    QString currency() const { return m_currency; }
    QStringList commonNames() const;

    // Sets and remembers the resin; a density or price that is not positive keeps the old one.
    Q_INVOKABLE void choose(
        const QString& name, double density, double pricePerLitre, const QString& currency);
    // The common resin at this index, as choose() takes it.
    Q_INVOKABLE QVariantMap common(int index) const;

    // "72.6 ml · 79.9 g · 2.90 €" for this volume; empty for no volume.
    QString materialText(double volumeMl) const;

signals:
    void changed();

private:
    Resin m_resin;
    QString m_currency;
    QString m_settingsFile;
};

#endif
