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

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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
        : m_exchange(ip, port, limits)
        , m_credentials(credentials)
    {
    }

    // The headers that prove who we are, for one request of this method and target.
    HeaderFields authHeaders(const std::string& method, const std::string& target)
    {
        HeaderFields headers;
        if (!m_credentials.apiKey.empty())
            headers.emplace_back("X-Api-Key", m_credentials.apiKey);
        if (m_hasChallenge)
            headers.emplace_back("Authorization",
                digestAuthorization(m_challenge, m_credentials.user, m_credentials.password, method,
                    target, ++m_nonceCount, randomHex(8)));
        return headers;
    }

    // Keeps a Digest challenge from a 401 answer; true when there is one we can answer and have
    // not answered yet, so the request is worth repeating. tooLong tells of a Digest challenge
    // refused only for its length.
    bool takeChallenge(const HostReply& reply, bool& tooLong)
    {
        tooLong = false;
        if (m_hasChallenge || m_credentials.user.empty())
            return false;
        // Hosts may offer several schemes, in one field or in several: ours is Digest.
        for (const std::string& value : reply.values("WWW-Authenticate")) {
            bool overlong = false;
            if (parseDigestChallenge(value, m_challenge, overlong)) {
                m_hasChallenge = true;
                return true;
            }
            tooLong = tooLong || overlong;
        }
        return false;
    }

    HostExchange& exchange() { return m_exchange; }

private:
    HostExchange m_exchange;
    const HostCredentials& m_credentials;
    DigestChallenge m_challenge;
    bool m_hasChallenge = false;
    unsigned m_nonceCount = 0;
};

SendOutcome failureOf(ExchangeFailure failure, const std::string& host)
{
    switch (failure) {
    case ExchangeFailure::Unreachable:
        return transportFailureOutcome(TransportFailure::Unreachable, host);
    case ExchangeFailure::ConnectTimedOut:
    case ExchangeFailure::Stalled:
        return transportFailureOutcome(TransportFailure::TimedOut, host);
    case ExchangeFailure::AnswerTimedOut:
        return transportFailureOutcome(TransportFailure::AnswerTimedOut, host);
    case ExchangeFailure::TooLarge:
        return transportFailureOutcome(TransportFailure::TooLarge, host);
    case ExchangeFailure::Garbled:
        return transportFailureOutcome(TransportFailure::Garbled, host);
    case ExchangeFailure::Stopped:
        return endingOutcome;
    case ExchangeFailure::BadField:
        return { 400,
            "The printers file gives the printer host at " + host
                + " a key or user name with a line break, which cannot be sent.",
            {} };
    case ExchangeFailure::None:
    case ExchangeFailure::Closed:
    case ExchangeFailure::BodyUnreadable:
        break;
    }
    return transportFailureOutcome(TransportFailure::Closed, host);
}

SendOutcome overlongChallengeOutcome(const std::string& host)
{
    return { 502,
        "The printer host at " + host
            + " asked for a password with a challenge too long to answer, so the job was not"
              " sent.",
        {} };
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
        HostReply result;
        if (!session.exchange().request(
                "GET", target, session.authHeaders("GET", target), 0, nullptr, result)) {
            outcome = failureOf(session.exchange().failure(), host);
            return false;
        }
        bool tooLong = false;
        if (result.status == 401 && session.takeChallenge(result, tooLong))
            continue;
        if (tooLong) {
            outcome = overlongChallengeOutcome(host);
            return false;
        }
        if (result.status == 404) {
            // An older host without the version endpoint still takes the form upload.
            byPut = false;
            return true;
        }
        if (result.status != 200) {
            outcome = hostRefusalOutcome(result.status, result.body, host, {});
            return false;
        }
        const QJsonObject version
            = QJsonDocument::fromJson(QByteArray::fromStdString(result.body)).object();
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
    Attachment(UploadCanceller& canceller, HostExchange& exchange)
        : m_canceller(canceller)
        , m_exchange(exchange)
        , m_attached(canceller.attach(&exchange))
    {
    }
    ~Attachment() { m_canceller.detach(&m_exchange); }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;
    bool attached() const { return m_attached; }

private:
    UploadCanceller& m_canceller;
    HostExchange& m_exchange;
    const bool m_attached;
};

} // namespace

void UploadCanceller::cancelAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    // A request waiting on its host fails at once.
    for (HostExchange* exchange : m_exchanges)
        exchange->stop();
}

bool UploadCanceller::attach(HostExchange* exchange)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled)
        return false;
    m_exchanges.insert(exchange);
    return true;
}

void UploadCanceller::detach(HostExchange* exchange)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_exchanges.erase(exchange);
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
    const Attachment attachment(canceller, session.exchange());
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
    bool readFailed = false;
    const BodyReader provider = [&](std::size_t offset, char* out, std::size_t room) -> long {
        const std::size_t fileEnd = envelope.head.size() + file.size();
        std::size_t count = 0;
        if (offset < envelope.head.size()) {
            count = std::min(room, envelope.head.size() - offset);
            std::memcpy(out, envelope.head.data() + offset, count);
        } else if (offset < fileEnd) {
            const ssize_t got
                = file.read(offset - envelope.head.size(), out, std::min(room, fileEnd - offset));
            if (got <= 0) {
                readFailed = true;
                return -1;
            }
            count = static_cast<std::size_t>(got);
        } else {
            count = std::min(room, total - offset);
            std::memcpy(out, envelope.tail.data() + (offset - fileEnd), count);
        }
        return static_cast<long>(count);
    };

    for (;;) {
        if (canceller.cancelled())
            return endingOutcome;
        HeaderFields headers = session.authHeaders(method, target);
        if (byPut) {
            headers.emplace_back("Print-After-Upload", "?0");
            headers.emplace_back("Overwrite-File", overwrite ? "?1" : "?0");
            headers.emplace_back("Content-Type", "application/octet-stream");
        } else {
            headers.emplace_back("Content-Type", envelope.contentType);
        }
        HostReply result;
        const bool answered
            = session.exchange().request(method, target, headers, total, provider, result);
        if (readFailed)
            return { 500,
                "The agent could not read the job file " + filePath + " while sending it.", {} };
        if (!answered)
            return failureOf(session.exchange().failure(), host);
        bool tooLong = false;
        if (result.status == 401 && session.takeChallenge(result, tooLong))
            continue;
        if (tooLong)
            return overlongChallengeOutcome(host);
        if (result.status == 409 && overwrite && !byPut)
            return { 409,
                "The printer host at " + host + " already has a file named " + fileName
                    + " and cannot replace it; give the job another name and send it again.",
                {} };
        if (result.status != 200 && result.status != 201) {
            SendOutcome refusal = hostRefusalOutcome(result.status, result.body, host, fileName);
            // A host keeps a file it has and answers 409; the user may then choose to replace it.
            refusal.fileExists = !overwrite && result.status == 409;
            return refusal;
        }
        return { 200, {}, storedNameOf(result.body, fileName) };
    }
}
