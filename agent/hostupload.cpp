// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostupload.h"

#include "digestauth.h"
#include "multipart.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>

#include <httplib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const SendOutcome endingOutcome { 503, "The agent is ending, so the job was not sent.", {} };

std::string randomHex(std::size_t bytes)
{
    static thread_local std::mt19937_64 generator { std::random_device {}() };
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes; ++i) {
        const auto value = static_cast<unsigned>(generator() & 0xff);
        text += digits[value >> 4];
        text += digits[value & 0xf];
    }
    return text;
}

std::string pathSegment(const std::string& text)
{
    return QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString();
}

// One open job file, read at any offset: the library may ask for a piece again.
class JobFileReader {
public:
    explicit JobFileReader(const std::string& path)
        : m_fd(open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        struct stat info;
        if (m_fd >= 0 && fstat(m_fd, &info) == 0)
            m_size = static_cast<std::size_t>(info.st_size);
    }
    ~JobFileReader()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    JobFileReader(const JobFileReader&) = delete;
    JobFileReader& operator=(const JobFileReader&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    std::size_t size() const { return m_size; }
    // Up to length bytes from offset into buffer; the count read, or -1.
    ssize_t read(std::size_t offset, char* buffer, std::size_t length) const
    {
        ssize_t count;
        do {
            count = pread(m_fd, buffer, length, static_cast<off_t>(offset));
        } while (count < 0 && errno == EINTR);
        return count;
    }

private:
    int m_fd = -1;
    std::size_t m_size = 0;
};

// Talks to one host for one upload: its address, its credentials and the Digest state.
class HostSession {
public:
    HostSession(const std::string& ip, int port, const HostCredentials& credentials,
        const UploadLimits& limits)
        : m_client(ip, port)
        , m_credentials(credentials)
    {
        m_client.set_connection_timeout(limits.connectSeconds, 0);
        m_client.set_read_timeout(limits.stallSeconds, 0);
        m_client.set_write_timeout(limits.stallSeconds, 0);
        m_client.set_keep_alive(false);
    }

    // The headers that prove who we are, for one request of this method and target.
    httplib::Headers authHeaders(const std::string& method, const std::string& target)
    {
        httplib::Headers headers;
        if (!m_credentials.apiKey.empty())
            headers.emplace("X-Api-Key", m_credentials.apiKey);
        if (m_hasChallenge)
            headers.emplace("Authorization",
                digestAuthorization(m_challenge, m_credentials.user, m_credentials.password, method,
                    target, ++m_nonceCount, randomHex(8)));
        return headers;
    }

    // Keeps a Digest challenge from a 401 answer; true when there is one we can answer and have
    // not answered yet, so the request is worth repeating.
    bool takeChallenge(const httplib::Response& response)
    {
        if (m_hasChallenge || m_credentials.user.empty())
            return false;
        DigestChallenge challenge;
        if (!parseDigestChallenge(response.get_header_value("WWW-Authenticate"), challenge))
            return false;
        m_challenge = challenge;
        m_hasChallenge = true;
        return true;
    }

    httplib::Client& client() { return m_client; }

private:
    httplib::Client m_client;
    const HostCredentials& m_credentials;
    DigestChallenge m_challenge;
    bool m_hasChallenge = false;
    unsigned m_nonceCount = 0;
};

SendOutcome failureOf(httplib::Error error, const std::string& host, bool stalled)
{
    switch (error) {
    case httplib::Error::Connection:
    case httplib::Error::BindIPAddress:
        return transportFailureOutcome(TransportFailure::Unreachable, host);
    case httplib::Error::ConnectionTimeout:
        return transportFailureOutcome(TransportFailure::TimedOut, host);
    default:
        break;
    }
    return transportFailureOutcome(
        stalled ? TransportFailure::TimedOut : TransportFailure::Closed, host);
}

// The dialect the host speaks: true for the file API's PUT. False with the outcome set when the
// host cannot be reached or refuses us.
bool askVersion(HostSession& session, UploadCanceller& canceller, const std::string& host,
    bool& byPut, SendOutcome& outcome)
{
    const std::string target = "/api/version";
    for (;;) {
        // A cancel between two requests finds no socket to shut down: look before each one.
        if (canceller.cancelled()) {
            outcome = endingOutcome;
            return false;
        }
        const auto result
            = session.client().Get(target.c_str(), session.authHeaders("GET", target));
        if (!result) {
            outcome = failureOf(result.error(), host, false);
            return false;
        }
        if (result->status == 401 && session.takeChallenge(*result))
            continue;
        if (result->status == 404) {
            // An older host without the version endpoint still takes the form upload.
            byPut = false;
            return true;
        }
        if (result->status != 200) {
            outcome = hostRefusalOutcome(result->status, result->body, host, {});
            return false;
        }
        const QJsonObject version
            = QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
        byPut = version.value(QStringLiteral("capabilities"))
                    .toObject()
                    .value(QStringLiteral("upload-by-put"))
                    .toBool();
        return true;
    }
}

// The name the host reports having stored, when its answer names one.
std::string storedNameOf(const std::string& body, const std::string& sentName)
{
    const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    const QString name = answer.value(QStringLiteral("files"))
                             .toObject()
                             .value(QStringLiteral("local"))
                             .toObject()
                             .value(QStringLiteral("name"))
                             .toString();
    return name.isEmpty() ? sentName : name.toStdString();
}

// Keeps one upload's client known to the canceller for as long as it lives.
class Attachment {
public:
    Attachment(UploadCanceller& canceller, httplib::Client& client)
        : m_canceller(canceller)
        , m_client(client)
        , m_attached(canceller.attach(&client))
    {
    }
    ~Attachment() { m_canceller.detach(&m_client); }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    bool attached() const { return m_attached; }

private:
    UploadCanceller& m_canceller;
    httplib::Client& m_client;
    const bool m_attached;
};

} // namespace

void UploadCanceller::cancelAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    // Shuts the sockets down: a request waiting on one fails at once.
    for (httplib::Client* client : m_clients)
        client->stop();
}

bool UploadCanceller::attach(httplib::Client* client)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled)
        return false;
    m_clients.insert(client);
    return true;
}

void UploadCanceller::detach(httplib::Client* client)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clients.erase(client);
}

bool UploadCanceller::cancelled()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled;
}

SendOutcome uploadJobFile(const std::string& ip, const std::string& port,
    const HostCredentials& credentials, const std::string& filePath, const std::string& fileName,
    UploadCanceller& canceller, const UploadLimits& limits, bool overwrite)
{
    const std::string host = ip + ":" + port;
    char* end = nullptr;
    const long portNumber = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || portNumber < 1 || portNumber > 65535)
        return { 400, "The printer host " + host + " has no valid port number.", {} };
    const JobFileReader file(filePath);
    if (!file.isOpen())
        return { 500,
            "The agent cannot read the job file " + filePath + ": " + std::strerror(errno) + ".",
            {} };

    HostSession session(ip, static_cast<int>(portNumber), credentials, limits);
    const Attachment attachment(canceller, session.client());
    if (!attachment.attached())
        return endingOutcome;
    bool byPut = false;
    SendOutcome outcome;
    if (!askVersion(session, canceller, host, byPut, outcome))
        return canceller.cancelled() ? endingOutcome : outcome;

    MultipartEnvelope envelope;
    std::string target;
    std::string method;
    if (byPut) {
        method = "PUT";
        target = "/api/v1/files/" + pathSegment(credentials.storage) + "/" + pathSegment(fileName);
    } else {
        method = "POST";
        target = "/api/files/local";
        envelope = multipartEnvelope(
            "corvane-" + randomHex(16), { { "path", "" }, { "print", "false" } }, "file", fileName);
    }
    const std::size_t total = envelope.head.size() + file.size() + envelope.tail.size();

    // One piece of the file at a time: memory stays the same whatever the file's size.
    std::vector<char> buffer(std::size_t(1) << 20);
    // Progress is the time the last piece went out; a failure long after it is a stall.
    Clock::time_point lastProgress = Clock::now();
    bool readFailed = false;
    const httplib::ContentProvider provider = [&](std::size_t offset, std::size_t length,
                                                  httplib::DataSink& sink) {
        lastProgress = Clock::now();
        // Also ends a request that began just after a cancel looked for sockets to shut down.
        if (canceller.cancelled())
            return false;
        std::size_t count = 0;
        const std::size_t fileEnd = envelope.head.size() + file.size();
        if (offset < envelope.head.size()) {
            count = std::min(length, envelope.head.size() - offset);
            return sink.write(envelope.head.data() + offset, count);
        }
        if (offset < fileEnd) {
            count = std::min({ length, buffer.size(), fileEnd - offset });
            const ssize_t got = file.read(offset - envelope.head.size(), buffer.data(), count);
            if (got <= 0) {
                readFailed = true;
                return false;
            }
            return sink.write(buffer.data(), static_cast<std::size_t>(got));
        }
        count = std::min(length, total - offset);
        return sink.write(envelope.tail.data() + (offset - fileEnd), count);
    };

    for (;;) {
        if (canceller.cancelled())
            return endingOutcome;
        httplib::Headers headers = session.authHeaders(method, target);
        httplib::Result result { nullptr, httplib::Error::Unknown };
        if (byPut) {
            headers.emplace("Print-After-Upload", "?0");
            headers.emplace("Overwrite-File", overwrite ? "?1" : "?0");
            result = session.client().Put(
                target.c_str(), headers, total, provider, "application/octet-stream");
        } else {
            result = session.client().Post(
                target.c_str(), headers, total, provider, envelope.contentType.c_str());
        }
        if (readFailed)
            return { 500,
                "The agent could not read the job file " + filePath + " while sending it.", {} };
        if (!result && canceller.cancelled())
            return endingOutcome;
        if (!result) {
            const auto quiet = Clock::now() - lastProgress;
            return failureOf(result.error(), host,
                quiet >= std::chrono::seconds(limits.stallSeconds) - std::chrono::seconds(1));
        }
        if (result->status == 401 && session.takeChallenge(*result))
            continue;
        if (result->status == 409 && overwrite && !byPut)
            return { 409,
                "The printer host at " + host + " already has a file named " + fileName
                    + " and cannot replace it; give the job another name and send it again.",
                {} };
        if (result->status != 200 && result->status != 201) {
            SendOutcome refusal = hostRefusalOutcome(result->status, result->body, host, fileName);
            // A host keeps a file it has and answers 409; the user may then choose to replace it.
            refusal.fileExists = !overwrite && result->status == 409;
            return refusal;
        }
        return { 200, {}, storedNameOf(result->body, fileName) };
    }
}
