// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostanswer.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

std::string withMessage(std::string sentence, const std::string& message)
{
    if (!message.empty())
        sentence += " The host says: " + message + (message.back() == '.' ? "" : ".");
    return sentence;
}

} // namespace

SendOutcome transportFailureOutcome(TransportFailure failure, const std::string& host)
{
    switch (failure) {
    case TransportFailure::Unreachable:
        return { 502,
            "The printer host at " + host
                + " cannot be reached or refused the connection; check that it is on"
                  " and on this network.",
            {} };
    case TransportFailure::TimedOut:
        return { 504,
            "The printer host at " + host
                + " stopped answering, so the job was not sent; try again.",
            {} };
    case TransportFailure::AnswerTimedOut:
        return { 504,
            "The printer host at " + host
                + " took too long to answer after the upload, so the job is not confirmed;"
                  " check on the host whether it arrived.",
            {} };
    case TransportFailure::TooLarge:
        return { 502,
            "The printer host at " + host
                + " sent a far longer answer than any printer host gives, so the agent stopped"
                  " reading it; the job is not confirmed.",
            {} };
    case TransportFailure::Garbled:
        return { 502,
            "The printer host at " + host
                + " answered with something that is not HTTP the agent can read; the job was not"
                  " sent.",
            {} };
    case TransportFailure::Closed:
        break;
    }
    return { 502,
        "The printer host at " + host
            + " closed the connection before it confirmed the job; the job was not sent.",
        {} };
}

SendOutcome hostRefusalOutcome(int hostStatus, const std::string& hostBody, const std::string& host,
    const std::string& fileName)
{
    const std::string message = hostMessage(hostBody);
    switch (hostStatus) {
    case 401:
    case 403:
        // Our own client must not take this for a refusal of itself: 403 stays ours to give,
        // the sentence says whose key it was.
        return { 403,
            withMessage("The printer host at " + host
                    + " refused the API key or the user name and password of"
                      " the printers file.",
                message),
            {} };
    case 409:
        return { 409,
            withMessage("The printer host at " + host + " already has a file named " + fileName
                    + " or is busy printing; rename the job or try"
                      " again later.",
                message),
            {} };
    case 413:
    case 507:
        return { 507,
            withMessage("The printer host at " + host + " has no room for the job file.", message),
            {} };
    case 415:
        return { 415,
            withMessage("The printer host at " + host
                    + " does not take this type of job"
                      " file.",
                message),
            {} };
    default:
        break;
    }
    return { 502,
        withMessage("The printer host at " + host + " did not store the job (HTTP status "
                + std::to_string(hostStatus) + ").",
            message),
        {} };
}

std::string hostMessage(const std::string& body)
{
    std::string message;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(body));
    if (document.isObject()) {
        const QJsonObject object = document.object();
        for (const char* key : { "error", "message", "title" }) {
            const QJsonValue value = object.value(QLatin1String(key));
            if (value.isString()) {
                message = value.toString().toStdString();
                break;
            }
        }
    } else if (!document.isArray() && body.size() <= 1000 && body.find('<') == std::string::npos) {
        // A short plain text, never a page of markup.
        message = body;
    }
    std::string shown;
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        shown += (byte < 0x20 || byte == 0x7f) ? ' ' : c;
    }
    shown.erase(0, shown.find_first_not_of(' '));
    shown.erase(shown.find_last_not_of(' ') + 1);
    constexpr std::size_t longest = 200;
    if (shown.size() > longest) {
        std::size_t cut = longest;
        while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xc0) == 0x80)
            --cut;
        shown = shown.substr(0, cut) + "...";
    }
    return shown;
}
