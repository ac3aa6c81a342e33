// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentserver.h"

#include "boundedserver.h"
#include "form.h"
#include "hostcatalog.h"
#include "hostcredentials.h"
#include "hostfilename.h"
#include "jobfile.h"
#include "jobfilename.h"
#include "printercatalog.h"
#include "profile_p.h"
#include "requestguard.h"
#include "slicerequest.h"
#include "userprofiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

const char* const jsonType = "application/json; charset=utf-8";
const char* const localHost = "127.0.0.1";

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

void answer(httplib::Response& response, int status, const QJsonObject& object)
{
    response.status = status;
    response.set_content(
        QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(), jsonType);
}

void answerError(httplib::Response& response, int status, const std::string& sentence)
{
    answer(response, status, QJsonObject { { QStringLiteral("error"), text(sentence) } });
}

// Client-chosen text inside our sentences is cut short.
std::string shortened(const std::string& text)
{
    constexpr std::size_t shown = 80;
    return text.size() <= shown ? text : text.substr(0, shown) + "...";
}

bool readForm(const httplib::Request& request, httplib::Response& response, Form& form)
{
    if (!isFormContentType(request.get_header_value("Content-Type"))) {
        answerError(
            response, 415, "The request body must be a form (application/x-www-form-urlencoded).");
        return false;
    }
    std::string error;
    if (!parseForm(request.body, form, error)) {
        answerError(response, 400, error);
        return false;
    }
    return true;
}

// Marks a slicing request as under way for as long as it lives, whatever throws. A refused
// request leaves the sentence of its answer as the newest job's failure.
class LoadingMark {
public:
    LoadingMark(JobRegistry& jobs, const httplib::Response& response)
        : m_jobs(jobs)
        , m_response(response)
        , m_request(m_jobs.beginLoading())
    {
    }
    ~LoadingMark()
    {
        std::string failure;
        if (m_response.status >= 400) {
            failure = QJsonDocument::fromJson(QByteArray::fromStdString(m_response.body))
                          .object()
                          .value(QStringLiteral("error"))
                          .toString()
                          .toStdString();
        }
        m_jobs.endLoading(m_request, failure);
    }
    LoadingMark(const LoadingMark&) = delete;
    LoadingMark& operator=(const LoadingMark&) = delete;
    std::uint64_t request() const { return m_request; }

private:
    JobRegistry& m_jobs;
    const httplib::Response& m_response;
    const std::uint64_t m_request;
};

// A path with a "+" is ambiguous: the form encoding reads a plus as a space, while our desktop
// client writes spaces as %20 and means every plus it leaves. Whichever spelling names something
// that exists wins; the standard reading otherwise, so that errors name what the form said.
std::string pathAsMeant(const std::string& value, const std::string& valueWithPlus)
{
    if (value == valueWithPlus || access(value.c_str(), F_OK) == 0
        || access(valueWithPlus.c_str(), F_OK) != 0)
        return value;
    return valueWithPlus;
}

bool makeFolder(const std::string& path, std::string& error)
{
    if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
        struct stat info;
        if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            return true;
        error = "The agent's data path " + path + " is not a folder.";
        return false;
    }
    error = "The agent cannot create its folder " + path + ": " + std::strerror(errno) + ".";
    return false;
}

// mkdir -p for the data folder itself, which may lie several levels below an existing folder.
bool makeFolders(const std::string& path, std::string& error)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string parent = path.substr(0, slash);
        if (mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "The agent cannot create its folder " + parent + ": " + std::strerror(errno)
                + ".";
            return false;
        }
    }
    return makeFolder(path, error);
}

} // namespace

AgentServer::AgentServer(std::string dataFolder, const UploadLimits& uploadLimits)
    : m_dataFolder(std::move(dataFolder))
    , m_jobsFolder(m_dataFolder + "/jobs")
    , m_downloadsFolder(m_dataFolder + "/downloads")
    , m_printersFile(m_dataFolder + "/printers.json")
    , m_userProfilesFile(m_dataFolder + "/user-profiles.json")
    , m_jobs(m_jobsFolder)
    , m_sender(m_dataFolder + "/outbox", 4, uploadLimits)
    , m_server(std::make_unique<BoundedServer>())
{
    using httplib::Request;
    using httplib::Response;
    using HandlerResponse = httplib::Server::HandlerResponse;

    m_server->set_payload_max_length(1 << 20);
    // The library's default adds SO_REUSEPORT, which would let a second agent bind our port and
    // take every other request. SO_REUSEADDR alone still allows a restart right after an end.
    m_server->set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    m_server->set_pre_routing_handler([this](const Request& request, Response& response) {
        const bool fetchMetadata = request.has_header("Sec-Fetch-Site")
            || request.has_header("Sec-Fetch-Mode") || request.has_header("Sec-Fetch-Dest");
        // The whole value: get_header_value() would end it at a NUL.
        const auto host = request.headers.find("Host");
        const std::string_view hostValue
            = host == request.headers.end() ? std::string_view() : std::string_view(host->second);
        const std::string refusal = requestRefusal(request.has_header("Origin"), fetchMetadata,
            request.get_header_value_count("Host"), hostValue, m_port);
        // A refusal comes before the body is read, so the connection ends with it: whatever
        // follows on it (such as a browser's body crafted to read as a request) is never served.
        if (!refusal.empty()) {
            answerError(response, 403, refusal);
            response.set_header("Connection", "close");
            return HandlerResponse::Handled;
        }
        // The payload limit holds a body to its Content-Length only: a chunked body, or one the
        // library unpacks, could grow without bound. Our client sends neither.
        // A POST without a length has an empty body by the standard; ours always carry a form.
        if (request.has_header("Transfer-Encoding")
            || (request.method == "POST" && !request.has_header("Content-Length"))) {
            answerError(response, 411,
                "The agent reads only request bodies of a stated length (Content-Length).");
            response.set_header("Connection", "close");
            return HandlerResponse::Handled;
        }
        if (request.has_header("Content-Encoding")) {
            answerError(response, 415, "The agent does not read compressed request bodies.");
            response.set_header("Connection", "close");
            return HandlerResponse::Handled;
        }
        return HandlerResponse::Unhandled;
    });
    m_server->set_error_handler([](const Request& request, Response& response) {
        if (!response.body.empty())
            return; // one of our own answers
        std::string sentence;
        switch (response.status) {
        case 404:
            sentence = "The agent has no endpoint " + request.method + " " + shortened(request.path)
                + ".";
            break;
        case 413:
            sentence = "The request is too large for the agent.";
            break;
        case 400:
            sentence = "The agent cannot read this request.";
            break;
        default:
            sentence = "The agent cannot answer this request (HTTP status "
                + std::to_string(response.status) + ").";
        }
        answerError(response, response.status, sentence);
    });
    m_server->set_exception_handler(
        [](const Request&, Response& response, std::exception_ptr failure) {
            std::string what = "an unknown error";
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& exception) {
                what = exception.what();
            } catch (...) {
            }
            answerError(response, 500, "The agent failed while answering: " + what + ".");
        });

    m_server->Get("/printer-details", [this](const Request& request, Response& response) {
        handlePrinterDetails(request, response);
    });
    m_server->Get("/printer-profiles/.*", [this](const Request& request, Response& response) {
        handlePrinterProfiles(request, response);
    });
    m_server->Post("/slice/preview", [this](const Request& request, Response& response) {
        handleSlice(request, response, false);
    });
    m_server->Post("/advanced-slice", [this](const Request& request, Response& response) {
        handleSlice(request, response, true);
    });
    m_server->Get("/slice",
        [this](const Request& request, Response& response) { handleProgress(request, response); });
    m_server->Post("/slice/download",
        [this](const Request& request, Response& response) { handleDownload(request, response); });
    m_server->Post("/slice/send",
        [this](const Request& request, Response& response) { handleSend(request, response); });
    m_server->Post("/user-profile", [this](const Request& request, Response& response) {
        handleSaveProfile(request, response);
    });
    m_server->Post("/user-profile/delete", [this](const Request& request, Response& response) {
        handleDeleteProfile(request, response);
    });
    m_server->Get("/terminate", [this](const Request&, Response& response) {
        answer(response, 200, QJsonObject { { QStringLiteral("terminating"), true } });
        response.set_header("Connection", "close");
        // Only the listening socket closes here: this answer is still written before run() ends.
        stop();
    });
}

AgentServer::~AgentServer()
{
    if (m_folderLock >= 0)
        close(m_folderLock);
}

bool AgentServer::bind(int port, std::string& error)
{
    if (!makeFolders(m_dataFolder, error) || !makeFolder(m_jobsFolder, error)
        || !makeFolder(m_downloadsFolder, error))
        return false;
    // The lock goes with the process, however it ends.
    m_folderLock = open(m_dataFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folderLock < 0 || flock(m_folderLock, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK
            ? "Another agent is already using the data folder " + m_dataFolder + "."
            : "The agent cannot lock its data folder " + m_dataFolder + ": " + std::strerror(errno)
                + ".";
        return false;
    }
    if (port == 0) {
        m_port = m_server->bind_to_any_port(localHost);
        if (m_port <= 0) {
            error = "The agent cannot listen on any port of 127.0.0.1.";
            return false;
        }
    } else {
        if (!m_server->bind_to_port(localHost, port)) {
            error = "The agent cannot listen on 127.0.0.1:" + std::to_string(port)
                + " (another agent may be running).";
            return false;
        }
        m_port = port;
    }
    // Only now that this agent owns its port is it the one that may tidy the jobs folder.
    m_jobs.removeOldFolders();
    removeUnfinishedJobFiles(m_downloadsFolder);
    m_sender.removeLeftovers();
    return true;
}

void AgentServer::run()
{
    // Only an agent that owns its port browses: a second one that could not bind just ends.
    m_discovery.start();
    m_server->serve();
    m_jobs.stopAll();
}

void AgentServer::stop()
{
    m_server->stopServing();
    // The server waits for every request's thread; a send to a stalled host would hold it.
    m_sender.cancelAll();
}

PrinterCatalog AgentServer::knownPrinters() const
{
    PrinterCatalog catalog = loadPrinterCatalog(m_printersFile);
    catalog.printers = withDiscoveredHosts(std::move(catalog.printers), m_discovery.hosts());
    std::vector<UserProfile> own;
    std::string error;
    if (readUserProfiles(m_userProfilesFile, own, error))
        addUserProfiles(catalog.printers, own);
    else
        catalog.fileError += (catalog.fileError.empty() ? "" : " ") + error;
    return catalog;
}

void AgentServer::handlePrinterDetails(const httplib::Request&, httplib::Response& response)
{
    const PrinterCatalog catalog = knownPrinters();
    std::string document = printersDocument(catalog.printers);
    std::string fileError = catalog.fileError;
    // The keys are still used: the user learns of the exposure without losing the printers.
    const std::string exposed = exposedSecretsWarning(m_printersFile);
    if (!exposed.empty())
        fileError += (fileError.empty() ? "" : " ") + exposed;
    if (!fileError.empty()) {
        // The built-in printers stay usable; the reason the file was skipped rides along.
        QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(document)).object();
        object.insert(QStringLiteral("printers_file_error"), text(fileError));
        document = QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
    }
    response.status = 200;
    response.set_content(document, jsonType);
}

void AgentServer::handlePrinterProfiles(
    const httplib::Request& request, httplib::Response& response)
{
    // The raw target, not the decoded path: the address is decoded once, here, by our own rules.
    static const std::string prefix = "/printer-profiles/";
    std::string target = request.target.substr(0, request.target.find('?'));
    std::string address;
    std::string ip;
    std::string port;
    if (target.compare(0, prefix.size(), prefix) != 0
        || !percentDecode(std::string_view(target).substr(prefix.size()), false, address)
        || !splitPrinterAddress(address, ip, port)) {
        answerError(response, 400, "The printer must be given as /printer-profiles/address:port.");
        return;
    }
    const PrinterCatalog catalog = knownPrinters();
    const Printer* printer = findPrinter(catalog.printers, ip, port);
    if (!printer) {
        answerError(response, 404, "No printer is known at " + shortened(address) + ".");
        return;
    }
    response.status = 200;
    response.set_content(profilesDocument(printer->profiles), jsonType);
}

void AgentServer::handleSlice(
    const httplib::Request& request, httplib::Response& response, bool advanced)
{
    // From the start: a poll answered while the request is checked must not report the job before.
    const LoadingMark loading(m_jobs, response);
    Form form;
    if (!readForm(request, response, form))
        return;
    SliceRequest slice;
    std::string error;
    if (!(advanced ? parseAdvancedForm(form, slice, error)
                   : parsePreviewForm(form, slice, error))) {
        answerError(response, 400, error);
        return;
    }
    const PrinterCatalog catalog = knownPrinters();
    const Printer* printer = findPrinter(catalog.printers, slice.printerIp, slice.printerPort);
    if (!printer) {
        answerError(response, 400,
            "No printer is known at " + shortened(slice.printerIp + ":" + slice.printerPort) + ".");
        return;
    }
    std::vector<std::pair<std::string, Profile>> items;
    for (const SliceItem& item : slice.items) {
        const Profile* profile = findProfile(*printer, item.profileId);
        if (!profile) {
            answerError(response, 400,
                "The printer " + printer->name + " has no profile " + std::to_string(item.profileId)
                    + ".");
            return;
        }
        items.emplace_back(pathAsMeant(item.stlPath, item.stlPathWithPlus), *profile);
    }
    Plate plate;
    // The job name names the job file; an empty one would leave it nameless.
    const std::string jobName = slice.jobName.empty() ? std::string("job") : slice.jobName;
    std::string folder;
    const bool loaded = loadPlate(jobName, *printer, items, plate, error);
    const bool started = loaded && m_jobs.start(std::move(plate), folder, error, loading.request());
    if (!started) {
        // A request overtaken by a newer one conflicts with it; a folder that cannot be made is
        // ours.
        const int status = !loaded ? 400 : m_jobs.isNewest(loading.request()) ? 500 : 409;
        answerError(response, status, error);
        return;
    }
    answer(response, 200, QJsonObject { { QStringLiteral("path"), text(folder) } });
}

void AgentServer::handleProgress(const httplib::Request&, httplib::Response& response)
{
    const JobStatus status = m_jobs.newest();
    switch (status.state) {
    case JobStatus::State::None:
        answerError(response, 404, "No slicing job has been started.");
        return;
    case JobStatus::State::Failed:
        answerError(response, 500, status.error);
        return;
    case JobStatus::State::Loading:
    case JobStatus::State::Running:
    case JobStatus::State::Finished:
        break;
    }
    const bool finished = status.state == JobStatus::State::Finished;
    const int layersDone = finished ? status.layerCount : status.layersDone;
    int percentage = 100;
    if (!finished) {
        // "100" promises that every image and "plate.json" are on disk, so a running job stops
        // at 99 even when its last layer is done.
        const long long share = status.layerCount > 0
            ? static_cast<long long>(layersDone) * 100 / status.layerCount
            : 0;
        percentage = static_cast<int>(std::min<long long>(share, 99));
    }
    answer(response, 200,
        QJsonObject { { QStringLiteral("layerID"), QString::number(layersDone) },
            { QStringLiteral("layerCount"), QString::number(status.layerCount) },
            { QStringLiteral("percentage"), QString::number(percentage) } });
}

bool AgentServer::findJobFolder(const httplib::Request& request, httplib::Response& response,
    std::string& folder, std::string& jobName, JobStatus& status)
{
    Form form;
    if (!readForm(request, response, form))
        return false;
    const FormField* path = formField(form, "path");
    if (!path) {
        answerError(response, 400, "The form lacks the field \"path\".");
        return false;
    }
    const std::string asSent = pathAsMeant(path->value, path->valueWithPlus);
    status = m_jobs.find(asSent, jobName, &folder);
    if (status.state == JobStatus::State::None) {
        answerError(response, 403,
            "The folder " + shortened(asSent) + " is not a job folder of this agent.");
        return false;
    }
    return true;
}

void AgentServer::handleDownload(const httplib::Request& request, httplib::Response& response)
{
    std::string folder;
    std::string jobName;
    JobStatus status;
    if (!findJobFolder(request, response, folder, jobName, status))
        return;
    if (status.state == JobStatus::State::Running) {
        answerError(response, 409, "The job in " + shortened(folder) + " is still being sliced.");
        return;
    }
    if (status.state != JobStatus::State::Finished) {
        answerError(response, 409,
            "The job in " + shortened(folder)
                + " did not finish slicing, so there is nothing to pack.");
        return;
    }
    // The file gets its name only once it is whole: a download cut short by the agent's end
    // leaves only a temporary file, which the next start removes.
    std::string temporary;
    std::string extension;
    std::string file;
    std::string error;
    if (!packJobFile(
            folder, m_downloadsFolder + "/" + jobFileStem(jobName), temporary, extension, error)) {
        answerError(response, 500, error);
        return;
    }
    if (!publishJobFile(temporary, m_downloadsFolder, jobName, extension, file, error)) {
        std::remove(temporary.c_str());
        answerError(response, 500, error);
        return;
    }
    answer(response, 200, QJsonObject { { QStringLiteral("file"), text(file) } });
}

void AgentServer::handleSend(const httplib::Request& request, httplib::Response& response)
{
    std::string folder;
    std::string jobName;
    JobStatus status;
    if (!findJobFolder(request, response, folder, jobName, status))
        return;
    if (status.state != JobStatus::State::Finished) {
        answerError(response, 409,
            "The job in " + shortened(folder)
                + " has not finished slicing, so it cannot"
                  " be sent.");
        return;
    }
    Form form;
    readForm(request, response, form); // findJobFolder read it already
    const std::string* printerField = formValue(form, "printer");
    const std::string* profileField = formValue(form, "profile");
    const std::string* nameField = formValue(form, "name");
    // Only a yes the user gave replaces a file the host has already.
    const std::string* overwriteField = formValue(form, "overwrite");
    const bool overwrite = overwriteField && (*overwriteField == "1" || *overwriteField == "true");
    std::string ip;
    std::string port;
    int profileId = 0;
    if (!printerField || !splitPrinterAddress(*printerField, ip, port)) {
        answerError(response, 400, "The field \"printer\" must read address:port.");
        return;
    }
    const PrinterCatalog catalog = knownPrinters();
    const Printer* printer = findPrinter(catalog.printers, ip, port);
    if (!printer) {
        answerError(response, 400, "No printer is known at " + shortened(*printerField) + ".");
        return;
    }
    if (printer->local) {
        answerError(response, 400,
            "The printer " + printer->name
                + " is no network host; save the job file instead of sending it.");
        return;
    }
    const Profile* profile = profileField && parseInteger(*profileField, profileId)
        ? findProfile(*printer, profileId)
        : nullptr;
    if (!profile) {
        answerError(response, 400,
            "The printer " + printer->name + " has no profile "
                + shortened(profileField ? *profileField : std::string()) + ".");
        return;
    }
    const std::string mismatch = jobMismatch(folder, *printer, *profile);
    if (!mismatch.empty()) {
        answerError(response, 409, mismatch);
        return;
    }
    // The upload runs on this request's own thread and holds no lock of the server.
    const std::string name = nameField && !nameField->empty() ? *nameField : jobName;
    const auto credentials = readHostCredentials(m_printersFile);
    const auto found = credentials.find(ip + ":" + port);
    const SendOutcome outcome = m_sender.send(folder, name, ip, port,
        found != credentials.end() ? found->second : HostCredentials(), overwrite);
    if (outcome.status != 200) {
        // "exists" lets the client ask whether to replace the file rather than only say why.
        answer(response, outcome.status,
            QJsonObject { { QStringLiteral("error"), text(outcome.sentence) },
                { QStringLiteral("exists"), outcome.fileExists } });
        return;
    }
    answer(response, 200, QJsonObject { { QStringLiteral("file"), text(outcome.storedName) } });
}

void AgentServer::handleSaveProfile(const httplib::Request& request, httplib::Response& response)
{
    Form form;
    if (!readForm(request, response, form))
        return;
    const std::string* printerField = formValue(form, "printer");
    const std::string* baseField = formValue(form, "base");
    const std::string* titleField = formValue(form, "title");
    std::string ip;
    std::string port;
    int baseId = 0;
    if (!printerField || !splitPrinterAddress(*printerField, ip, port)) {
        answerError(response, 400, "The field \"printer\" must read address:port.");
        return;
    }
    if (!baseField || !parseInteger(*baseField, baseId)) {
        answerError(response, 400,
            "The field \"base\" must give the ProfileID of the profile the new one starts from.");
        return;
    }
    if (!titleField) {
        answerError(response, 400, "The form lacks the field \"title\", the profile's name.");
        return;
    }
    std::vector<std::pair<std::string, std::string>> values;
    for (const FormField& field : form) {
        if (field.key != "printer" && field.key != "base" && field.key != "title")
            values.emplace_back(field.key, field.value);
    }
    // Read, changed and written whole while no other request changes the file.
    const std::lock_guard<std::mutex> lock(m_userProfilesLock);
    const PrinterCatalog catalog = knownPrinters();
    const Printer* printer = findPrinter(catalog.printers, ip, port);
    if (!printer) {
        answerError(response, 400, "No printer is known at " + shortened(*printerField) + ".");
        return;
    }
    const Profile* base = findProfile(*printer, baseId);
    if (!base) {
        answerError(response, 400,
            "The printer " + printer->name + " has no profile " + std::to_string(baseId) + ".");
        return;
    }
    Profile profile;
    std::string error;
    if (!makeUserProfile(*base, *titleField, values, profile, error)) {
        answerError(response, 400, error);
        return;
    }
    std::vector<UserProfile> saved;
    if (!readUserProfiles(m_userProfilesFile, saved, error)) {
        answerError(response, 500, error + " The agent leaves it as it is.");
        return;
    }
    if (!storeUserProfile(saved, *printer, profile, error)) {
        answerError(response, 409, error);
        return;
    }
    if (!writeUserProfiles(m_userProfilesFile, saved, error)) {
        answerError(response, 500, error);
        return;
    }
    answer(response, 200, QJsonObject { { QStringLiteral("profile"), profileRecord(profile) } });
}

void AgentServer::handleDeleteProfile(const httplib::Request& request, httplib::Response& response)
{
    Form form;
    if (!readForm(request, response, form))
        return;
    const std::string* printerField = formValue(form, "printer");
    const std::string* profileField = formValue(form, "profile");
    std::string ip;
    std::string port;
    int profileId = 0;
    if (!printerField || !splitPrinterAddress(*printerField, ip, port)) {
        answerError(response, 400, "The field \"printer\" must read address:port.");
        return;
    }
    if (!profileField || !parseInteger(*profileField, profileId)) {
        answerError(response, 400, "The field \"profile\" must give the ProfileID to delete.");
        return;
    }
    const std::lock_guard<std::mutex> lock(m_userProfilesLock);
    const PrinterCatalog catalog = knownPrinters();
    const Printer* printer = findPrinter(catalog.printers, ip, port);
    if (!printer) {
        answerError(response, 400, "No printer is known at " + shortened(*printerField) + ".");
        return;
    }
    std::vector<UserProfile> saved;
    std::string error;
    if (!readUserProfiles(m_userProfilesFile, saved, error)) {
        answerError(response, 500, error + " The agent leaves it as it is.");
        return;
    }
    if (!removeUserProfile(saved, printer->ip + ":" + printer->port, profileId)) {
        const Profile* own = findProfile(*printer, profileId);
        if (own && !own->userMade)
            answerError(response, 400,
                "The profile " + std::to_string(profileId) + " is one of " + printer->name
                    + "'s own, which cannot be deleted.");
        else
            answerError(response, 404,
                "The printer " + printer->name + " has no profile of your own with the ID "
                    + std::to_string(profileId) + ".");
        return;
    }
    if (!writeUserProfiles(m_userProfilesFile, saved, error)) {
        answerError(response, 500, error);
        return;
    }
    answer(response, 200, QJsonObject { { QStringLiteral("deleted"), profileId } });
}
