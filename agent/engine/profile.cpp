// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile.h"
#include "jobformat.h"
#include "profile_p.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kMostPrintersFileBytes = 1024 * 1024;

Profile makeProfile(int id, const char* title, int depthUm, int pixelsX, int pixelsY,
    double pixelUm, double exposureS, double bottomExposureS, int bottomLayers, double maxHeightMm,
    bool mirrorX = false)
{
    Profile p;
    p.title = title;
    p.profileId = id;
    p.depthUm = depthUm;
    p.pixelsX = pixelsX;
    p.pixelsY = pixelsY;
    p.pixelUmX = pixelUm;
    p.pixelUmY = pixelUm;
    p.exposureS = exposureS;
    p.bottomExposureS = bottomExposureS;
    p.bottomLayers = bottomLayers;
    p.mirrorX = mirrorX;
    p.maxHeightMm = maxHeightMm;
    p.antiAliasing = 4;
    return p;
}

Printer makePrinter(const char* name, const char* port, const char* model)
{
    Printer printer;
    printer.name = name;
    // Built-in printers are no network hosts: the address only has to come back to us intact,
    // so it is a plain word that survives a URL path and a form value unchanged.
    printer.ip = "local";
    printer.port = port;
    printer.model = model;
    printer.local = true;
    return printer;
}

QString qs(const std::string& text) { return QString::fromStdString(text); }

bool readString(const QJsonObject& record, const char* key, std::string& value, std::string& why)
{
    const QJsonValue v = record.value(QLatin1String(key));
    if (v.isString() && !v.toString().isEmpty()) {
        value = v.toString().toStdString();
        return true;
    }
    // Ports are often written as numbers; the record keeps them as text.
    if (v.isDouble() && v.toDouble() == std::floor(v.toDouble())
        && std::fabs(v.toDouble()) < 1e15) {
        value = std::to_string(static_cast<long long>(v.toDouble()));
        return true;
    }
    why = std::string("it has no text \"") + key + "\"";
    return false;
}

bool readNumber(const QJsonObject& record, const char* key, double& value, std::string& why,
    double minimum, bool optional = false, double maximum = 1e7)
{
    const QJsonValue v = record.value(QLatin1String(key));
    if (v.isUndefined() && optional)
        return true;
    if (!v.isDouble()) {
        why = std::string("it has no number \"") + key + "\"";
        return false;
    }
    const double d = v.toDouble();
    if (!(d >= minimum) || d > maximum) {
        why = std::string("its \"") + key + "\" is out of range";
        if (maximum < 1e7)
            why += " (" + QString::number(minimum).toStdString() + " to "
                + QString::number(maximum).toStdString() + ")";
        return false;
    }
    value = d;
    return true;
}

bool readInt(const QJsonObject& record, const char* key, int& value, std::string& why, int minimum,
    bool optional = false, double maximum = 1e7)
{
    double d = value;
    if (!readNumber(record, key, d, why, minimum, optional, maximum))
        return false;
    if (d != std::floor(d)) {
        why = std::string("its \"") + key + "\" is not a whole number";
        return false;
    }
    value = int(d);
    return true;
}

bool readBool(const QJsonObject& record, const char* key, bool& value, std::string& why)
{
    const QJsonValue v = record.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    if (!v.isBool()) {
        why = std::string("its \"") + key + "\" is not true or false";
        return false;
    }
    value = v.toBool();
    return true;
}

bool readProfileMotion(const QJsonObject& record, Profile& p, std::string& why)
{
    return readInt(record, "TransitionLayers", p.transitionLayers, why, 0, true, 10000)
        && readNumber(record, "BottomLiftDistance", p.bottomLiftMm, why, 0.1, true, 100)
        && readNumber(record, "BottomLiftSpeed", p.bottomLiftSpeed, why, 1, true, 6000)
        && readNumber(record, "BottomRetractSpeed", p.bottomRetractSpeed, why, 1, true, 6000)
        && readNumber(record, "LiftDistance", p.liftMm, why, 0.1, true, 100)
        && readNumber(record, "LiftSpeed", p.liftSpeed, why, 1, true, 6000)
        && readNumber(record, "RetractSpeed", p.retractSpeed, why, 1, true, 6000)
        && readNumber(record, "WaitBeforeLift", p.waitBeforeLiftS, why, 0, true, 600)
        && readNumber(record, "WaitAfterLift", p.waitAfterLiftS, why, 0, true, 600)
        && readNumber(record, "WaitAfterRetract", p.waitAfterRetractS, why, 0, true, 600)
        && readInt(record, "LightPWM", p.lightPwm, why, 0, true, 255);
}

QJsonObject printerRecord(const Printer& printer)
{
    QJsonArray profiles;
    for (const Profile& profile : printer.profiles)
        profiles.append(profileRecord(profile));
    QJsonObject record;
    record.insert(QStringLiteral("name"), qs(printer.name));
    record.insert(QStringLiteral("ip"), qs(printer.ip));
    record.insert(QStringLiteral("port"), qs(printer.port));
    record.insert(QStringLiteral("model"), qs(printer.model));
    record.insert(QStringLiteral("local"), printer.local);
    if (!printer.maker.empty())
        record.insert(QStringLiteral("maker"), qs(printer.maker));
    // The job file the printer reads, so that a window can show it.
    JobFormat format;
    if (findJobFormat(printer.format.empty() ? std::string("sl1") : printer.format, format)) {
        record.insert(QStringLiteral("fileExtension"), qs(format.extension));
        record.insert(QStringLiteral("formatName"), qs(format.title));
    }
    record.insert(QStringLiteral("format"), qs(printer.format.empty() ? "sl1" : printer.format));
    if (printer.formatVersion > 0)
        record.insert(QStringLiteral("formatVersion"), printer.formatVersion);
    record.insert(QStringLiteral("profiles_array"), profiles);
    return record;
}

} // namespace

QJsonObject profileRecord(const Profile& profile)
{
    QJsonObject record;
    record.insert(QStringLiteral("Title"), qs(profile.title));
    record.insert(QStringLiteral("ProfileID"), profile.profileId);
    record.insert(QStringLiteral("Depth"), profile.depthUm);
    record.insert(QStringLiteral("PixelsX"), profile.pixelsX);
    record.insert(QStringLiteral("PixelsY"), profile.pixelsY);
    record.insert(QStringLiteral("PixelSizeX"), profile.pixelUmX);
    record.insert(QStringLiteral("PixelSizeY"), profile.pixelUmY);
    record.insert(QStringLiteral("Exposure"), profile.exposureS);
    record.insert(QStringLiteral("BottomExposure"), profile.bottomExposureS);
    record.insert(QStringLiteral("BottomLayers"), profile.bottomLayers);
    record.insert(QStringLiteral("MirrorX"), profile.mirrorX);
    record.insert(QStringLiteral("MirrorY"), profile.mirrorY);
    record.insert(QStringLiteral("MaxHeight"), profile.maxHeightMm);
    record.insert(QStringLiteral("TransitionLayers"), profile.transitionLayers);
    record.insert(QStringLiteral("BottomLiftDistance"), profile.bottomLiftMm);
    record.insert(QStringLiteral("BottomLiftSpeed"), profile.bottomLiftSpeed);
    record.insert(QStringLiteral("BottomRetractSpeed"), profile.bottomRetractSpeed);
    record.insert(QStringLiteral("LiftDistance"), profile.liftMm);
    record.insert(QStringLiteral("LiftSpeed"), profile.liftSpeed);
    record.insert(QStringLiteral("RetractSpeed"), profile.retractSpeed);
    record.insert(QStringLiteral("WaitBeforeLift"), profile.waitBeforeLiftS);
    record.insert(QStringLiteral("WaitAfterLift"), profile.waitAfterLiftS);
    record.insert(QStringLiteral("WaitAfterRetract"), profile.waitAfterRetractS);
    record.insert(QStringLiteral("LightPWM"), profile.lightPwm);
    if (profile.userMade)
        record.insert(QStringLiteral("UserProfile"), true);
    record.insert(QStringLiteral("AntiAliasing"), profile.antiAliasing);
    record.insert(QStringLiteral("Gamma"), profile.gamma);
    record.insert(QStringLiteral("ElephantFootMm"), profile.elephantFootMm);
    record.insert(QStringLiteral("ElephantFootLayers"), profile.elephantFootLayers);
    return record;
}

bool profileFromRecord(const QJsonObject& record, Profile& profile, std::string& why)
{
    Profile p;
    double profileId = 0;
    if (!readString(record, "Title", p.title, why)
        || !readNumber(record, "ProfileID", profileId, why, 0)
        || !readInt(record, "Depth", p.depthUm, why, 1)
        || !readInt(record, "PixelsX", p.pixelsX, why, 1)
        || !readInt(record, "PixelsY", p.pixelsY, why, 1)
        || !readNumber(record, "PixelSizeX", p.pixelUmX, why, 0.001))
        return false;
    if (profileId != std::floor(profileId) || profileId > 2147483647.0) {
        why = "its \"ProfileID\" is not a whole number";
        return false;
    }
    p.profileId = int(profileId);
    // Square pixels are the rule: "PixelSizeY" may be left out.
    p.pixelUmY = p.pixelUmX;
    if (!readNumber(record, "PixelSizeY", p.pixelUmY, why, 0.001, true)
        || !readNumber(record, "Exposure", p.exposureS, why, 0.001))
        return false;
    p.bottomExposureS = p.exposureS;
    if (!readNumber(record, "BottomExposure", p.bottomExposureS, why, 0.001, true)
        || !readInt(record, "BottomLayers", p.bottomLayers, why, 0, true)
        || !readBool(record, "MirrorX", p.mirrorX, why)
        || !readBool(record, "MirrorY", p.mirrorY, why)
        || !readNumber(record, "MaxHeight", p.maxHeightMm, why, 0.001)
        || !readProfileMotion(record, p, why)
        || !readInt(record, "AntiAliasing", p.antiAliasing, why, 1, true)
        || !readNumber(record, "Gamma", p.gamma, why, 0.1, true)
        || !readNumber(record, "ElephantFootMm", p.elephantFootMm, why, 0, true)
        || !readInt(record, "ElephantFootLayers", p.elephantFootLayers, why, -1, true))
        return false;
    if (p.antiAliasing > 16 || (p.antiAliasing & (p.antiAliasing - 1)) != 0) {
        why = "its \"AntiAliasing\" is not 1, 2, 4, 8 or 16";
        return false;
    }
    if (p.gamma > 10 || p.elephantFootMm > 5) {
        why = std::string("its \"") + (p.gamma > 10 ? "Gamma" : "ElephantFootMm")
            + "\" is out of range";
        return false;
    }
    if (double(p.pixelsX) * p.pixelsY > 200e6) {
        why = "its resolution is too large";
        return false;
    }
    profile = p;
    return true;
}

void setPlatformMotion(std::vector<Profile>& profiles, const PlatformMotion& motion)
{
    for (Profile& p : profiles) {
        p.transitionLayers = motion.transitionLayers;
        p.bottomLiftMm = motion.bottomLiftMm;
        p.bottomLiftSpeed = motion.bottomLiftSpeed;
        p.bottomRetractSpeed = motion.retractSpeed;
        p.liftMm = motion.liftMm;
        p.liftSpeed = motion.liftSpeed;
        p.retractSpeed = motion.retractSpeed;
        p.waitBeforeLiftS = 0;
        p.waitAfterLiftS = 0;
        p.waitAfterRetractS = motion.waitAfterRetractS;
        p.lightPwm = 255;
    }
}

std::vector<Printer> builtinPrinters()
{
    // Typical panels of each class; exposures are starting points for a standard resin.
    Printer lcd2k = makePrinter("Resin LCD 2K", "lcd2k", "LCD-2K");
    lcd2k.profiles = {
        makeProfile(101, "0.05 mm standard", 50, 2560, 1440, 47.25, 6.0, 50.0, 6, 150.0),
        makeProfile(102, "0.025 mm fine", 25, 2560, 1440, 47.25, 4.0, 45.0, 8, 150.0),
        makeProfile(103, "0.1 mm draft", 100, 2560, 1440, 47.25, 10.0, 60.0, 5, 150.0),
    };
    Printer lcd4k = makePrinter("Resin LCD 4K", "lcd4k", "LCD-4K");
    lcd4k.profiles = {
        makeProfile(201, "0.05 mm standard", 50, 3840, 2400, 35.0, 2.2, 25.0, 5, 165.0),
        makeProfile(202, "0.025 mm fine", 25, 3840, 2400, 35.0, 1.6, 22.0, 6, 165.0),
        makeProfile(203, "0.1 mm draft", 100, 3840, 2400, 35.0, 3.0, 30.0, 4, 165.0),
    };
    Printer lcd6k = makePrinter("Resin LCD 6K", "lcd6k", "LCD-6K");
    lcd6k.profiles = {
        makeProfile(301, "0.05 mm standard", 50, 5760, 3600, 34.4, 2.0, 25.0, 5, 220.0),
        makeProfile(302, "0.025 mm fine", 25, 5760, 3600, 34.4, 1.5, 20.0, 6, 220.0),
    };
    // The projector shines through a mirror, so its images are mirrored in x.
    Printer dlp = makePrinter("Resin DLP 1080p", "dlp1080", "DLP-1080P");
    dlp.profiles = {
        makeProfile(401, "0.05 mm standard", 50, 1920, 1080, 50.0, 1.5, 10.0, 4, 100.0, true),
        makeProfile(402, "0.025 mm fine", 25, 1920, 1080, 50.0, 1.0, 8.0, 5, 100.0, true),
    };
    // Small vats peel easily; the wider panels lift further and slower, the DLP's small window
    // least. The wait after the retract lets the resin settle before the light.
    setPlatformMotion(lcd2k.profiles, { 6, 60, 5, 60, 150, 0, 2 });
    setPlatformMotion(lcd4k.profiles, { 6, 60, 6, 80, 150, 3, 1 });
    setPlatformMotion(lcd6k.profiles, { 8, 50, 7, 70, 150, 3, 1 });
    setPlatformMotion(dlp.profiles, { 5, 60, 4, 100, 180, 0, 0.5 });
    return { lcd2k, lcd4k, lcd6k, dlp };
}

bool readPrintersFile(const std::string& path, std::vector<Printer>& printers, std::string& error)
{
    printers.clear();
    // Opened without waiting, so that a named pipe cannot hold the request, and judged before it
    // is read: a printers file is a few kilobytes, and a huge one would be parsed on every request.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0 && errno == ENOENT)
        return true;
    if (descriptor < 0) {
        error = "Cannot read the printers file " + path + ": " + std::strerror(errno) + ".";
        return false;
    }
    struct stat info;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(descriptor);
        error = "The printers file " + path + " is not a regular file.";
        return false;
    }
    if (info.st_size > kMostPrintersFileBytes) {
        close(descriptor);
        error = "The printers file " + path + " is larger than 1 MB.";
        return false;
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        close(descriptor);
        error = "Cannot read the printers file " + path + ".";
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document
        = QJsonDocument::fromJson(file.read(kMostPrintersFileBytes), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = "The printers file " + path
            + " is not valid JSON: " + parseError.errorString().toStdString() + " at offset "
            + std::to_string(parseError.offset) + ".";
        return false;
    }
    const QJsonValue list = document.object().value(QStringLiteral("printers_array"));
    if (!document.isObject() || !list.isArray()) {
        error = "The printers file " + path + " has no \"printers_array\" list.";
        return false;
    }
    std::vector<Printer> read;
    const QJsonArray array = list.toArray();
    for (int i = 0; i < array.size(); ++i) {
        const std::string where
            = "The printers file " + path + " is not valid: printer " + std::to_string(i + 1);
        const QJsonObject record = array.at(i).toObject();
        Printer printer;
        printer.local = false;
        std::string why;
        if (!readString(record, "name", printer.name, why)
            || !readString(record, "ip", printer.ip, why)
            || !readString(record, "port", printer.port, why)) {
            error = where + ": " + why + ".";
            return false;
        }
        printer.model = record.value(QStringLiteral("model")).toString().toStdString();
        if (printer.model.empty())
            printer.model = printer.name;
        printer.maker = record.value(QStringLiteral("maker")).toString().toStdString();
        printer.format = record.value(QStringLiteral("format")).toString().toStdString();
        JobFormat format;
        if (!printer.format.empty() && !findJobFormat(printer.format, format)) {
            error = where + ": its \"format\" " + printer.format
                + " is not a job file the agent writes.";
            return false;
        }
        if (!readInt(record, "formatVersion", printer.formatVersion, why, 0, true)) {
            error = where + ": " + why + ".";
            return false;
        }
        const QJsonArray profiles = record.value(QStringLiteral("profiles_array")).toArray();
        std::set<int> ids;
        for (int k = 0; k < profiles.size(); ++k) {
            Profile profile;
            if (!profileFromRecord(profiles.at(k).toObject(), profile, why)) {
                error = where + ", profile " + std::to_string(k + 1) + ": " + why + ".";
                return false;
            }
            if (!ids.insert(profile.profileId).second) {
                error = where + ": the \"ProfileID\" " + std::to_string(profile.profileId)
                    + " appears twice.";
                return false;
            }
            printer.profiles.push_back(profile);
        }
        // Requests name printers by address: a second printer there could never be reached.
        // (Built-in addresses may come again: a discovery answer lists them, and is a valid file.)
        for (const Printer& other : read) {
            if (other.ip == printer.ip && other.port == printer.port) {
                error = where + " (\"" + printer.name + "\") has the address " + printer.ip + ":"
                    + printer.port + " of the printer \"" + other.name + "\".";
                return false;
            }
        }
        read.push_back(printer);
    }
    printers = read;
    return true;
}

std::string printersDocument(const std::vector<Printer>& printers)
{
    QJsonArray array;
    for (const Printer& printer : printers)
        array.append(printerRecord(printer));
    QJsonObject document;
    document.insert(QStringLiteral("printers_array"), array);
    return QJsonDocument(document).toJson(QJsonDocument::Compact).toStdString();
}

std::string profilesDocument(const std::vector<Profile>& profiles)
{
    QJsonArray array;
    for (const Profile& profile : profiles)
        array.append(profileRecord(profile));
    return QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString();
}
