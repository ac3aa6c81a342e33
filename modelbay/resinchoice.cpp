// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "resinchoice.h"

#include <QSettings>
#include <QVariantMap>

namespace {

const QString kDefaultCurrency = QStringLiteral("€");

} // namespace

QVector<Resin> commonResins()
{
    // Densities as resin makers give them; prices are a shop's usual ones, to be set by the user.
    return {
        { QStringLiteral("Standard resin"), 1.10, 30 },
        { QStringLiteral("ABS-like resin"), 1.10, 35 },
        { QStringLiteral("Water-washable resin"), 1.10, 35 },
        { QStringLiteral("Tough resin"), 1.15, 45 },
        { QStringLiteral("Plant-based resin"), 1.08, 35 },
    };
}

double resinWeightG(double volumeMl, double densityGPerMl)
{
    return volumeMl > 0 && densityGPerMl > 0 ? volumeMl * densityGPerMl : 0;
}

double resinCost(double volumeMl, double pricePerLitre)
{
    return volumeMl > 0 && pricePerLitre > 0 ? volumeMl / 1000 * pricePerLitre : 0;
}

ResinChoice::ResinChoice(QObject* parent)
    : QObject(parent)
    , m_resin(commonResins().first())
    , m_currency(kDefaultCurrency)
{
}

void ResinChoice::setSettingsFile(const QString& path)
{
    if (m_settingsFile == path)
        return;
    m_settingsFile = path;
    m_resin = commonResins().first();
    m_currency = kDefaultCurrency;
    if (!path.isEmpty()) {
        QSettings settings(path, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("resin"));
        const QString name = settings.value(QStringLiteral("name")).toString();
        const double density = settings.value(QStringLiteral("density")).toDouble();
        const double price = settings.value(QStringLiteral("pricePerLitre")).toDouble();
        if (!name.isEmpty() && density > 0 && price >= 0)
            m_resin = { name, density, price };
        if (settings.contains(QStringLiteral("currency")))
            m_currency = settings.value(QStringLiteral("currency")).toString();
    }
    emit changed();
}

QStringList ResinChoice::commonNames() const
{
    QStringList names;
    for (const Resin& resin : commonResins())
        names.append(resin.name);
    return names;
}

void ResinChoice::choose(
    const QString& name, double density, double pricePerLitre, const QString& currency)
{
    if (!name.trimmed().isEmpty())
        m_resin.name = name.trimmed();
    if (density > 0)
        m_resin.densityGPerMl = density;
    if (pricePerLitre >= 0)
        m_resin.pricePerLitre = pricePerLitre;
    m_currency = currency.trimmed();
    if (!m_settingsFile.isEmpty()) {
        QSettings settings(m_settingsFile, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("resin"));
        settings.setValue(QStringLiteral("name"), m_resin.name);
        settings.setValue(QStringLiteral("density"), m_resin.densityGPerMl);
        settings.setValue(QStringLiteral("pricePerLitre"), m_resin.pricePerLitre);
        settings.setValue(QStringLiteral("currency"), m_currency);
    }
    emit changed();
}

QVariantMap ResinChoice::common(int index) const
{
    const QVector<Resin> resins = commonResins();
    if (index < 0 || index >= resins.size())
        return QVariantMap();
    const Resin& resin = resins.at(index);
    return { { QStringLiteral("name"), resin.name },
        { QStringLiteral("density"), resin.densityGPerMl },
        { QStringLiteral("pricePerLitre"), resin.pricePerLitre } };
}

QString ResinChoice::materialText(double volumeMl) const
{
    if (!(volumeMl > 0))
        return QString();
    QString text = tr("%1 ml · %2 g")
                       .arg(volumeMl, 0, 'f', 1)
                       .arg(resinWeightG(volumeMl, m_resin.densityGPerMl), 0, 'f', 1);
    if (m_resin.pricePerLitre > 0) {
        const QString cost = QString::number(resinCost(volumeMl, m_resin.pricePerLitre), 'f', 2);
        text += QStringLiteral(" · ")
            + (m_currency.isEmpty() ? cost : tr("%1 %2").arg(cost, m_currency));
    }
    return text;
}
