// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostcredentials.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <sys/stat.h>

namespace {

std::string textOf(const QJsonValue& value)
{
    if (value.isString())
        return value.toString().toStdString();
    // The port is often written as a number; the catalogue reads it the same way.
    if (value.isDouble() && value.toDouble() == std::floor(value.toDouble()))
        return std::to_string(static_cast<long long>(value.toDouble()));
    return {};
}

} // namespace

std::map<std::string, HostCredentials> readHostCredentials(const std::string& printersFile)
{
    std::map<std::string, HostCredentials> result;
    QFile file(QString::fromStdString(printersFile));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QJsonArray printers = QJsonDocument::fromJson(file.readAll())
                                    .object()
                                    .value(QStringLiteral("printers_array"))
                                    .toArray();
    for (const QJsonValue& value : printers) {
        const QJsonObject record = value.toObject();
        HostCredentials credentials;
        credentials.apiKey = textOf(record.value(QStringLiteral("apiKey")));
        credentials.user = textOf(record.value(QStringLiteral("user")));
        credentials.password = textOf(record.value(QStringLiteral("password")));
        const std::string storage = textOf(record.value(QStringLiteral("storage")));
        if (!storage.empty())
            credentials.storage = storage;
        const std::string address = textOf(record.value(QStringLiteral("ip"))) + ":"
            + textOf(record.value(QStringLiteral("port")));
        // The first record of an address wins, as in the catalogue.
        result.emplace(address, credentials);
    }
    return result;
}

std::string exposedSecretsWarning(const std::string& printersFile)
{
    struct stat info;
    if (stat(printersFile.c_str(), &info) != 0 || (info.st_mode & (S_IRGRP | S_IROTH)) == 0)
        return {};
    const std::map<std::string, HostCredentials> hosts = readHostCredentials(printersFile);
    for (const auto& host : hosts) {
        if (host.second.holdsSecret())
            return "The printers file " + printersFile
                + " holds passwords or API keys that other users can read; make it private"
                  " with: chmod 600 '"
                + printersFile + "'";
    }
    return {};
}
