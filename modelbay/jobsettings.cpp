// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobsettings.h"

#include "agentreply.h"
#include "agenturls.h"
#include "formbody.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <cmath>

namespace {

const QString kSaveUrl = QStringLiteral("http://%1:%2/user-profile");
const QString kDeleteUrl = QStringLiteral("http://%1:%2/user-profile/delete");

// What a profile of one's own may change, in the agent's ranges (the printers file's keys).
struct Field {
    const char* key;
    const char* label;
    const char* unit;
    double from;
    double to;
    int decimals;
};

const Field kFields[] = {
    { "Exposure", QT_TRANSLATE_NOOP("JobSettings", "Exposure"), "s", 0.001, 1e7, 2 },
    { "BottomExposure", QT_TRANSLATE_NOOP("JobSettings", "Bottom exposure"), "s", 0.001, 1e7, 2 },
    { "BottomLayers", QT_TRANSLATE_NOOP("JobSettings", "Bottom layers"), "", 0, 1e7, 0 },
    { "TransitionLayers", QT_TRANSLATE_NOOP("JobSettings", "Transition layers"), "", 0, 10000, 0 },
    { "BottomLiftDistance", QT_TRANSLATE_NOOP("JobSettings", "Bottom lift"), "mm", 0.1, 100, 1 },
    { "BottomLiftSpeed", QT_TRANSLATE_NOOP("JobSettings", "Bottom lift speed"), "mm/min", 1, 6000,
        0 },
    { "BottomRetractSpeed", QT_TRANSLATE_NOOP("JobSettings", "Bottom retract speed"), "mm/min", 1,
        6000, 0 },
    { "LiftDistance", QT_TRANSLATE_NOOP("JobSettings", "Lift"), "mm", 0.1, 100, 1 },
    { "LiftSpeed", QT_TRANSLATE_NOOP("JobSettings", "Lift speed"), "mm/min", 1, 6000, 0 },
    { "RetractSpeed", QT_TRANSLATE_NOOP("JobSettings", "Retract speed"), "mm/min", 1, 6000, 0 },
    { "WaitBeforeLift", QT_TRANSLATE_NOOP("JobSettings", "Wait before lift"), "s", 0, 600, 1 },
    { "WaitAfterLift", QT_TRANSLATE_NOOP("JobSettings", "Wait after lift"), "s", 0, 600, 1 },
    { "WaitAfterRetract", QT_TRANSLATE_NOOP("JobSettings", "Wait after retract"), "s", 0, 600, 1 },
    { "LightPWM", QT_TRANSLATE_NOOP("JobSettings", "Light intensity (PWM)"), "", 0, 255, 0 },
};

// A whole number as digits: QString::number(double) writes 1000000 as "1e+06".
QString profileText(const QJsonValue& value)
{
    if (!value.isDouble())
        return value.toString();
    const double number = value.toDouble();
    return std::abs(number) < 1e15 && number == double(qint64(number))
        ? QString::number(qint64(number))
        : QString::number(number);
}

// Two values the panel shows alike are the same: typing back the shown number is no change.
bool same(double a, double b, int decimals)
{
    return std::abs(a - b) < std::pow(10.0, -decimals) / 2;
}

} // namespace

JobSettings::JobSettings(QObject* parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_agentHost(QStringLiteral("127.0.0.1"))
    , m_agentPort(QStringLiteral("18383"))
{
}

void JobSettings::setPrinters(PrinterChoice* printers)
{
    if (m_printers == printers)
        return;
    if (m_printers)
        m_printers->disconnect(this);
    m_printers = printers;
    if (printers)
        connect(printers, &PrinterChoice::choiceChanged, this, &JobSettings::load);
    load();
    emit wiringChanged();
}

void JobSettings::setAgentAddress(const QString& host, const QString& port)
{
    m_agentHost = host;
    m_agentPort = port;
}

// The printer list's filter also tells of a changed choice: values the user is editing stay
// while the profile is the same.
void JobSettings::load()
{
    const QJsonObject profile = m_printers ? m_printers->profile() : QJsonObject();
    const PrinterEntry* printer = m_printers ? m_printers->printer() : nullptr;
    const QString key = printer && !profile.isEmpty() ? printer->key() + QLatin1Char('/')
            + profileText(profile.value(QStringLiteral("ProfileID")))
                                                      : QString();
    if (key == m_baseKey && profile == m_base)
        return;
    m_base = profile;
    m_baseKey = key;
    m_values.clear();
    for (const Field& field : kFields) {
        const QString name = QLatin1String(field.key);
        m_values.insert(name, profile.value(name).toDouble());
    }
    emit valuesChanged();
}

QVariantList JobSettings::fields() const
{
    QVariantList list;
    if (m_base.isEmpty())
        return list;
    for (const Field& field : kFields) {
        const QString key = QLatin1String(field.key);
        const double value = m_values.value(key);
        list.append(QVariantMap { { QStringLiteral("key"), key },
            { QStringLiteral("label"), tr(field.label) },
            { QStringLiteral("unit"), QLatin1String(field.unit) },
            { QStringLiteral("value"), value }, { QStringLiteral("from"), field.from },
            { QStringLiteral("to"), field.to }, { QStringLiteral("decimals"), field.decimals },
            { QStringLiteral("changed"),
                !same(value, m_base.value(key).toDouble(), field.decimals) } });
    }
    return list;
}

bool JobSettings::edited() const
{
    for (const Field& field : kFields) {
        const QString key = QLatin1String(field.key);
        if (!same(m_values.value(key), m_base.value(key).toDouble(), field.decimals))
            return true;
    }
    return false;
}

bool JobSettings::ownProfile() const
{
    return m_base.value(QStringLiteral("UserProfile")).toBool();
}

QString JobSettings::profileTitle() const
{
    return m_base.value(QStringLiteral("Title")).toString();
}

void JobSettings::setValue(const QString& key, double value)
{
    for (const Field& field : kFields) {
        if (key != QLatin1String(field.key))
            continue;
        const double bounded
            = qBound(field.from, field.decimals == 0 ? std::round(value) : value, field.to);
        if (same(bounded, m_values.value(key), field.decimals))
            return;
        m_values.insert(key, bounded);
        say(QString(), false);
        emit valuesChanged();
        emit valuesEdited();
        return;
    }
}

void JobSettings::revert()
{
    if (!edited())
        return;
    m_baseKey.clear(); // load() takes the chosen profile's values again
    load();
    say(QString(), false);
    emit valuesEdited();
}

void JobSettings::saveAs(const QString& title)
{
    const PrinterEntry* printer = m_printers ? m_printers->printer() : nullptr;
    if (busy() || !printer || m_base.isEmpty())
        return;
    if (title.trimmed().isEmpty()) {
        say(tr("Give the profile a name."), true);
        return;
    }
    QList<QPair<QString, QString>> items = {
        { QStringLiteral("printer"), printer->key() },
        { QStringLiteral("base"), profileText(m_base.value(QStringLiteral("ProfileID"))) },
        { QStringLiteral("title"), title.trimmed() },
    };
    for (const Field& field : kFields) {
        const QString key = QLatin1String(field.key);
        items.append({ key, QString::number(m_values.value(key), 'g', 10) });
    }
    post(kSaveUrl, items, tr("Saving the profile “%1”…").arg(title.trimmed()));
}

void JobSettings::deleteProfile()
{
    const PrinterEntry* printer = m_printers ? m_printers->printer() : nullptr;
    if (busy() || !printer || !ownProfile())
        return;
    post(kDeleteUrl,
        { { QStringLiteral("printer"), printer->key() },
            { QStringLiteral("profile"), profileText(m_base.value(QStringLiteral("ProfileID"))) } },
        tr("Deleting the profile “%1”…").arg(profileTitle()));
}

void JobSettings::post(
    const QString& path, const QList<QPair<QString, QString>>& items, const QString& doing)
{
    QNetworkRequest request(AgentUrls::agentUrl(path, m_agentHost, m_agentPort));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    FormItems form;
    for (const auto& item : items)
        form.append(item);
    QNetworkReply* reply = m_network->post(request, formBody(form));
    m_reply = reply;
    const bool deleting = path == kDeleteUrl;
    connect(reply, &QNetworkReply::finished, this,
        [this, reply, deleting] { answered(reply, deleting); });
    say(doing, false);
}

void JobSettings::answered(QNetworkReply* reply, bool deleting)
{
    reply->deleteLater();
    m_reply = nullptr;
    const QByteArray body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        say(agentErrorText(body, reply->errorString()), true);
        return;
    }
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    if (deleting) {
        say(tr("Deleted the profile “%1”.").arg(profileTitle()), false);
        if (m_printers)
            m_printers->reloadProfiles(QString());
        return;
    }
    const QJsonObject profile = answer.value(QStringLiteral("profile")).toObject();
    const QString id = profileText(profile.value(QStringLiteral("ProfileID")));
    if (id.isEmpty()) {
        say(tr("The slicer agent did not say which profile it saved."), true);
        return;
    }
    say(tr("Saved the profile “%1”.").arg(profile.value(QStringLiteral("Title")).toString()),
        false);
    // The saved profile comes back with the printer's list and becomes the chosen one; until
    // then the panel keeps the values it saved.
    if (m_printers)
        m_printers->reloadProfiles(id);
}

void JobSettings::say(const QString& sentence, bool trouble)
{
    m_message = sentence;
    m_trouble = trouble;
    emit stateChanged();
}
