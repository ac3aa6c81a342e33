// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "userprofiles.h"
#include "profile_p.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kMostFileBytes = 1024 * 1024;
constexpr int kMostPerPrinter = 100;
constexpr int kMostTitleCharacters = 60;
constexpr int kFirstUserProfileId = 1000000;

// What a person tunes for a resin; the display, layer height and build volume stay the printer's.
const char* const kChangeableKeys[]
    = { "Exposure", "BottomExposure", "BottomLayers", "TransitionLayers", "BottomLiftDistance",
          "BottomLiftSpeed", "BottomRetractSpeed", "LiftDistance", "LiftSpeed", "RetractSpeed",
          "WaitBeforeLift", "WaitAfterLift", "WaitAfterRetract", "LightPWM" };

bool changeable(const std::string& key)
{
    return std::any_of(std::begin(kChangeableKeys), std::end(kChangeableKeys),
        [&](const char* k) { return key == k; });
}

// A title a person can tell apart in a list: text without control characters, not too long.
std::string titleProblem(const std::string& title)
{
    const QString text = QString::fromStdString(title);
    if (text.trimmed().isEmpty())
        return "A profile of your own needs a name.";
    if (text.trimmed() != text)
        return "The name of a profile cannot begin or end with spaces.";
    if (text.toUcs4().size() > kMostTitleCharacters)
        return "The name of a profile can have at most " + std::to_string(kMostTitleCharacters)
            + " characters.";
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return "The name of a profile cannot hold control characters.";
    }
    return {};
}

} // namespace

bool readUserProfiles(
    const std::string& path, std::vector<UserProfile>& profiles, std::string& error)
{
    profiles.clear();
    const std::string damaged = "The file of profiles of your own " + path + " is damaged";
    // Opened without waiting and judged before it is read, like the printers file.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0 && errno == ENOENT)
        return true;
    struct stat info;
    if (descriptor < 0 || fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)
        || info.st_size > kMostFileBytes) {
        error = descriptor < 0 ? "Cannot read the file of profiles of your own " + path + ": "
                + std::strerror(errno) + "."
                               : damaged + ": it is no regular file of at most 1 MB.";
        if (descriptor >= 0)
            close(descriptor);
        return false;
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        close(descriptor);
        error = "Cannot read the file of profiles of your own " + path + ".";
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(kMostFileBytes), &parseError);
    const QJsonValue list = document.object().value(QStringLiteral("user_profiles"));
    if (parseError.error != QJsonParseError::NoError || !list.isArray()) {
        error = damaged
            + (parseError.error != QJsonParseError::NoError
                    ? ": it is not valid JSON."
                    : ": it has no \"user_profiles\" list.");
        return false;
    }
    std::vector<UserProfile> read;
    for (const QJsonValue& value : list.toArray()) {
        const QJsonObject record = value.toObject();
        UserProfile entry;
        entry.printer = record.value(QStringLiteral("printer")).toString().toStdString();
        std::string why;
        if (entry.printer.empty()
            || !profileFromRecord(
                record.value(QStringLiteral("profile")).toObject(), entry.profile, why)) {
            error = damaged + ": profile " + std::to_string(read.size() + 1)
                + (why.empty() ? std::string(" names no printer") : ": " + why) + ".";
            return false;
        }
        entry.profile.userMade = true;
        read.push_back(entry);
    }
    profiles = read;
    return true;
}

bool writeUserProfiles(
    const std::string& path, const std::vector<UserProfile>& profiles, std::string& error)
{
    QJsonArray list;
    for (const UserProfile& entry : profiles) {
        list.append(
            QJsonObject { { QStringLiteral("printer"), QString::fromStdString(entry.printer) },
                { QStringLiteral("profile"), profileRecord(entry.profile) } });
    }
    const QByteArray bytes
        = QJsonDocument(QJsonObject { { QStringLiteral("user_profiles"), list } }).toJson();
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = "Cannot save the profiles of your own in " + path + ": "
            + file.errorString().toStdString() + ".";
        return false;
    }
    return true;
}

void addUserProfiles(std::vector<Printer>& printers, const std::vector<UserProfile>& profiles)
{
    for (const UserProfile& entry : profiles) {
        for (Printer& printer : printers) {
            if (printer.ip + ":" + printer.port != entry.printer)
                continue;
            const bool taken = std::any_of(printer.profiles.begin(), printer.profiles.end(),
                [&](const Profile& p) { return p.profileId == entry.profile.profileId; });
            if (!taken)
                printer.profiles.push_back(entry.profile);
            break;
        }
    }
}

bool makeUserProfile(const Profile& base, const std::string& title,
    const std::vector<std::pair<std::string, std::string>>& values, Profile& profile,
    std::string& error)
{
    error = titleProblem(title);
    if (!error.empty())
        return false;
    QJsonObject record = profileRecord(base);
    record.insert(QStringLiteral("Title"), QString::fromStdString(title));
    for (const auto& [key, text] : values) {
        if (!changeable(key)) {
            error = "A profile of your own cannot change \"" + key.substr(0, 40) + "\".";
            return false;
        }
        bool number = false;
        const double value = QByteArray::fromStdString(text).toDouble(&number);
        if (!number || !std::isfinite(value)) {
            error = "The value of \"" + key + "\" must be a number.";
            return false;
        }
        record.insert(QString::fromStdString(key), value);
    }
    std::string why;
    if (!profileFromRecord(record, profile, why)) {
        error = "The profile cannot be saved: " + why + ".";
        return false;
    }
    profile.userMade = true;
    return true;
}

bool storeUserProfile(std::vector<UserProfile>& profiles, const Printer& printer, Profile& profile,
    std::string& error)
{
    const std::string address = printer.ip + ":" + printer.port;
    int count = 0;
    for (const Profile& p : printer.profiles) {
        if (p.title == profile.title && !p.userMade) {
            error = "The printer " + printer.name + " has a profile of its own named \""
                + profile.title + "\"; choose another name.";
            return false;
        }
        count += p.userMade ? 1 : 0;
    }
    for (UserProfile& entry : profiles) {
        if (entry.printer == address && entry.profile.title == profile.title) {
            profile.profileId = entry.profile.profileId;
            entry.profile = profile;
            return true;
        }
    }
    if (count >= kMostPerPrinter) {
        error = "The printer " + printer.name + " has " + std::to_string(kMostPerPrinter)
            + " profiles of your own already; delete one first.";
        return false;
    }
    // An ID neither the printer nor another of its user profiles uses.
    int id = kFirstUserProfileId;
    const auto used = [&](int candidate) {
        return std::any_of(printer.profiles.begin(), printer.profiles.end(), [&](const Profile& p) {
            return p.profileId == candidate;
        }) || std::any_of(profiles.begin(), profiles.end(), [&](const UserProfile& e) {
            return e.printer == address && e.profile.profileId == candidate;
        });
    };
    while (used(id))
        ++id;
    profile.profileId = id;
    profiles.push_back({ address, profile });
    return true;
}

bool removeUserProfile(
    std::vector<UserProfile>& profiles, const std::string& printer, int profileId)
{
    const auto found = std::find_if(profiles.begin(), profiles.end(), [&](const UserProfile& e) {
        return e.printer == printer && e.profile.profileId == profileId;
    });
    if (found == profiles.end())
        return false;
    profiles.erase(found);
    return true;
}
