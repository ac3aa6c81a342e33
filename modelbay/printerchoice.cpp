// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "printerchoice.h"

#include "agentreply.h"
#include "agenturls.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// The agent starts with the window and may need a moment before it answers.
constexpr int kStartAttempts = 20;
constexpr int kStartRetryMs = 300;
constexpr int kRefreshMs = 5000;

// A whole number as digits: QString::number(double) writes 1000000 as "1e+06".
QString text(const QJsonValue& value)
{
    if (!value.isDouble())
        return value.toString();
    const double number = value.toDouble();
    return std::abs(number) < 1e15 && number == double(qint64(number))
        ? QString::number(qint64(number))
        : QString::number(number);
}

// Millimetres to a tenth, without a trailing ".0".
QString number(double value)
{
    QString shown = QString::number(value, 'f', 1);
    if (shown.endsWith(QLatin1String(".0")))
        shown.chop(2);
    return shown;
}

} // namespace

QVector<PrinterEntry> printerEntries(const QByteArray& printerDetails)
{
    QVector<PrinterEntry> entries;
    const QJsonObject document = QJsonDocument::fromJson(printerDetails).object();
    for (const QJsonValue& value : document.value(QStringLiteral("printers_array")).toArray()) {
        const QJsonObject record = value.toObject();
        PrinterEntry entry;
        entry.name = record.value(QStringLiteral("name")).toString();
        if (entry.name.isEmpty() || entry.name == QLatin1String("Not Discovered"))
            continue;
        entry.maker = record.value(QStringLiteral("maker")).toString();
        if (entry.maker.isEmpty())
            entry.maker = entry.name.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        entry.ip = text(record.value(QStringLiteral("ip")));
        entry.port = text(record.value(QStringLiteral("port")));
        entry.local
            = record.value(QStringLiteral("local")).toBool() || entry.ip == QLatin1String("local");
        const QJsonValue format = record.value(QStringLiteral("format"));
        entry.format = format.isObject() ? format.toObject().value(QStringLiteral("id")).toString()
                                         : format.toString();
        entry.profiles = record.value(QStringLiteral("profiles_array")).toArray();
        entries.append(entry);
    }
    return entries;
}

PrinterChoice::PrinterChoice(QObject* parent)
    : QAbstractListModel(parent)
    , m_agentHost(QStringLiteral("127.0.0.1"))
    , m_agentPort(QStringLiteral("18383"))
    , m_network(new QNetworkAccessManager(this))
    , m_retryTimer(new QTimer(this))
    , m_refreshTimer(new QTimer(this))
{
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setInterval(kStartRetryMs);
    connect(m_retryTimer, &QTimer::timeout, this, [this] { ask(false); });
    m_refreshTimer->setInterval(kRefreshMs);
    connect(m_refreshTimer, &QTimer::timeout, this, [this] {
        if (!m_locked && !m_searching)
            ask(true);
    });
}

int PrinterChoice::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shown.size();
}

QVariant PrinterChoice::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown.size())
        return QVariant();
    const PrinterEntry& entry = m_printers.at(m_shown.at(index.row()));
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return entry.name;
    case MakerRole:
        return entry.maker;
    case AddressRole:
        return entry.local ? QString() : entry.key();
    case FormatRole:
        return entry.format.toUpper();
    case LocalRole:
        return entry.local;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> PrinterChoice::roleNames() const
{
    return { { NameRole, "name" }, { MakerRole, "maker" }, { AddressRole, "address" },
        { FormatRole, "format" }, { LocalRole, "local" } };
}

void PrinterChoice::setFilter(const QString& filter)
{
    if (m_filter == filter)
        return;
    m_filter = filter;
    beginResetModel();
    rebuildShown();
    endResetModel();
    emit filterChanged();
    emit choiceChanged(); // the chosen row moved
}

void PrinterChoice::setLocked(bool locked)
{
    if (m_locked == locked)
        return;
    m_locked = locked;
    emit lockedChanged();
}

void PrinterChoice::setSettingsFile(const QString& path)
{
    if (m_settingsFile == path)
        return;
    m_settingsFile = path;
    emit lockedChanged();
}

void PrinterChoice::setAgentAddress(const QString& host, const QString& port)
{
    m_agentHost = host;
    m_agentPort = port;
}

void PrinterChoice::setRefreshInterval(int ms)
{
    m_refreshTimer->stop();
    m_refreshTimer->setInterval(ms);
}

void PrinterChoice::discover()
{
    m_startAttempts = 0;
    m_searching = true;
    m_listError.clear();
    emit listChanged();
    ask(false);
}

void PrinterChoice::ask(bool quiet)
{
    if (m_listReply)
        return;
    QNetworkReply* reply = m_network->get(QNetworkRequest(
        AgentUrls::agentUrl(AgentUrls::urlPrinterDetails, m_agentHost, m_agentPort)));
    m_listReply = reply;
    connect(
        reply, &QNetworkReply::finished, this, [this, reply, quiet] { listArrived(reply, quiet); });
}

void PrinterChoice::listArrived(QNetworkReply* reply, bool quiet)
{
    reply->deleteLater();
    m_listReply = nullptr;
    const QByteArray body = reply->readAll();
    const bool failed = reply->error() != QNetworkReply::NoError;
    const QVector<PrinterEntry> printers = failed ? QVector<PrinterEntry>() : printerEntries(body);
    if (quiet) {
        // An agent that did not answer now and then keeps the printers it had.
        if (!failed && !m_locked)
            applyList(printers);
        return;
    }
    if (printers.isEmpty() && m_startAttempts < kStartAttempts) {
        ++m_startAttempts;
        m_retryTimer->start();
        return;
    }
    m_searching = false;
    m_listError = failed ? agentErrorText(body, reply->errorString()) : QString();
    applyList(printers);
    if (m_refreshTimer->interval() > 0)
        m_refreshTimer->start();
    emit listChanged();
}

void PrinterChoice::applyList(const QVector<PrinterEntry>& printers)
{
    const QString chosenKey = printer() ? printer()->key() : remembered(QStringLiteral("printer"));
    bool same = printers.size() == m_printers.size();
    for (int i = 0; same && i < printers.size(); ++i)
        same = printers.at(i).key() == m_printers.at(i).key()
            && printers.at(i).name == m_printers.at(i).name;
    if (same && (m_chosen >= 0 || printers.isEmpty()))
        return;
    const QString oldKey = printer() ? printer()->key() : QString();
    beginResetModel();
    m_printers = printers;
    m_chosen = printers.isEmpty() ? -1 : 0;
    for (int i = 0; i < printers.size(); ++i) {
        if (printers.at(i).key() == chosenKey)
            m_chosen = i;
    }
    rebuildShown();
    endResetModel();
    emit listChanged();
    if (!printer() || printer()->key() != oldKey) {
        if (printer())
            remember(QStringLiteral("printer"), printer()->key());
        fetchProfiles();
    }
    emit choiceChanged();
}

void PrinterChoice::rebuildShown()
{
    m_shown.clear();
    for (int i = 0; i < m_printers.size(); ++i) {
        const PrinterEntry& entry = m_printers.at(i);
        if (m_filter.isEmpty() || entry.name.contains(m_filter, Qt::CaseInsensitive)
            || entry.maker.contains(m_filter, Qt::CaseInsensitive)
            || entry.format.contains(m_filter, Qt::CaseInsensitive))
            m_shown.append(i);
    }
    // Grouped by maker for the list's sections; the agent's order within a maker.
    std::stable_sort(m_shown.begin(), m_shown.end(), [this](int a, int b) {
        return m_printers.at(a).maker.compare(m_printers.at(b).maker, Qt::CaseInsensitive) < 0;
    });
}

void PrinterChoice::choose(int row)
{
    if (m_locked || row < 0 || row >= m_shown.size() || m_shown.at(row) == m_chosen)
        return;
    m_chosen = m_shown.at(row);
    remember(QStringLiteral("printer"), printer()->key());
    fetchProfiles();
    emit choiceChanged();
}

void PrinterChoice::fetchProfiles()
{
    m_profiles = QJsonArray();
    m_profileIndex = -1;
    m_profileError.clear();
    if (m_profilesReply) {
        m_profilesReply->disconnect(this);
        m_profilesReply->abort();
        m_profilesReply->deleteLater();
        m_profilesReply = nullptr;
    }
    if (!printer())
        return;
    const QString key = printer()->key();
    QNetworkReply* reply = m_network->get(QNetworkRequest(
        AgentUrls::printerProfilesUrl(m_agentHost, m_agentPort, printer()->ip, printer()->port)));
    m_profilesReply = reply;
    connect(
        reply, &QNetworkReply::finished, this, [this, reply, key] { profilesArrived(reply, key); });
}

void PrinterChoice::profilesArrived(QNetworkReply* reply, const QString& printerKey)
{
    reply->deleteLater();
    m_profilesReply = nullptr;
    const QByteArray body = reply->readAll();
    if (!printer() || printer()->key() != printerKey)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (reply->error() != QNetworkReply::NoError || !document.isArray()) {
        m_profileError = agentErrorText(body,
            reply->error() != QNetworkReply::NoError
                ? reply->errorString()
                : tr("The slicer agent sent no profiles for %1.").arg(printer()->name));
        emit choiceChanged();
        return;
    }
    m_profiles = document.array();
    const QString wanted = m_wantedProfileId.isEmpty()
        ? remembered(QStringLiteral("profile"))
        : printerKey + QLatin1Char('/') + m_wantedProfileId;
    m_wantedProfileId.clear();
    m_profileIndex = m_profiles.isEmpty() ? -1 : 0;
    for (int i = 0; i < m_profiles.size(); ++i) {
        if (printerKey + QLatin1Char('/')
                + text(m_profiles.at(i).toObject().value(QStringLiteral("ProfileID")))
            == wanted)
            m_profileIndex = i;
    }
    if (m_profileIndex >= 0)
        remember(QStringLiteral("profile"), printerKey + QLatin1Char('/') + profileId());
    emit choiceChanged();
}

void PrinterChoice::reloadProfiles(const QString& profileId)
{
    if (!printer())
        return;
    m_wantedProfileId = profileId;
    fetchProfiles();
    emit choiceChanged();
}

void PrinterChoice::chooseProfile(int index)
{
    if (m_locked || index < 0 || index >= m_profiles.size() || index == m_profileIndex)
        return;
    m_profileIndex = index;
    remember(QStringLiteral("profile"), printer()->key() + QLatin1Char('/') + profileId());
    emit choiceChanged();
}

bool PrinterChoice::chooseSaved(const QString& printerKey, const QString& profileId)
{
    int found = -1;
    for (int i = 0; i < m_printers.size(); ++i) {
        if (m_printers.at(i).key() == printerKey)
            found = i;
    }
    if (m_locked)
        return false;
    if (found < 0) {
        // Not listed yet at start: the list, once it comes, picks the remembered choice.
        if (m_printers.isEmpty()) {
            remember(QStringLiteral("printer"), printerKey);
            remember(QStringLiteral("profile"), printerKey + QLatin1Char('/') + profileId);
        }
        return false;
    }
    remember(QStringLiteral("profile"), printerKey + QLatin1Char('/') + profileId);
    if (found != m_chosen) {
        m_chosen = found;
        remember(QStringLiteral("printer"), printerKey);
        fetchProfiles();
        emit choiceChanged();
        return true;
    }
    for (int i = 0; i < m_profiles.size(); ++i) {
        if (text(m_profiles.at(i).toObject().value(QStringLiteral("ProfileID"))) == profileId)
            chooseProfile(i);
    }
    return true;
}

const PrinterEntry* PrinterChoice::printer() const
{
    return m_chosen >= 0 && m_chosen < m_printers.size() ? &m_printers.at(m_chosen) : nullptr;
}

QJsonObject PrinterChoice::profile() const
{
    return m_profileIndex >= 0 ? m_profiles.at(m_profileIndex).toObject() : QJsonObject();
}

QString PrinterChoice::profileId() const
{
    return text(profile().value(QStringLiteral("ProfileID")));
}

QStringList PrinterChoice::profileTitles() const
{
    QStringList titles;
    for (const QJsonValue& value : m_profiles)
        titles.append(value.toObject().value(QStringLiteral("Title")).toString());
    return titles;
}

// The build plate in millimetres: pixels times the pixel size in micrometres; the pixel height
// defaults to the width. A profile that lacks a number gives 0.
double PrinterChoice::plateWidth() const
{
    const QJsonObject p = profile();
    return p.value(QStringLiteral("PixelsX")).toDouble()
        * p.value(QStringLiteral("PixelSizeX")).toDouble() / 1000;
}

double PrinterChoice::plateDepth() const
{
    const QJsonObject p = profile();
    const double sizeY = p.value(QStringLiteral("PixelSizeY")).toDouble();
    return p.value(QStringLiteral("PixelsY")).toDouble()
        * (sizeY > 0 ? sizeY : p.value(QStringLiteral("PixelSizeX")).toDouble()) / 1000;
}

double PrinterChoice::plateHeight() const
{
    return profile().value(QStringLiteral("MaxHeight")).toDouble();
}

double PrinterChoice::layerHeight() const
{
    return profile().value(QStringLiteral("Depth")).toDouble() / 1000;
}

bool PrinterChoice::mirrorX() const { return profile().value(QStringLiteral("MirrorX")).toBool(); }
bool PrinterChoice::mirrorY() const { return profile().value(QStringLiteral("MirrorY")).toBool(); }

QString PrinterChoice::panelText() const
{
    const QJsonObject p = profile();
    if (!hasProfile())
        return QString();
    return tr("%1 × %2 px")
        .arg(p.value(QStringLiteral("PixelsX")).toInt())
        .arg(p.value(QStringLiteral("PixelsY")).toInt());
}

QString PrinterChoice::pixelText() const
{
    const QJsonObject p = profile();
    if (!hasProfile())
        return QString();
    const double x = p.value(QStringLiteral("PixelSizeX")).toDouble();
    const double y = p.value(QStringLiteral("PixelSizeY")).toDouble();
    return tr("%1 × %2 µm").arg(QString::number(x, 'g', 5), QString::number(y > 0 ? y : x, 'g', 5));
}

QString PrinterChoice::volumeText() const
{
    if (!hasProfile())
        return QString();
    return tr("%1 × %2 × %3 mm")
        .arg(number(plateWidth()), number(plateDepth()), number(plateHeight()));
}

QString PrinterChoice::formatText() const
{
    return printer() ? printer()->format.toUpper() : QString();
}

QString PrinterChoice::remembered(const QString& key) const
{
    if (m_settingsFile.isEmpty())
        return QString();
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    return settings.value(QStringLiteral("printer/") + key).toString();
}

void PrinterChoice::remember(const QString& key, const QString& value) const
{
    if (m_settingsFile.isEmpty())
        return;
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    settings.setValue(QStringLiteral("printer/") + key, value);
}
