// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_AGENTSERVER_H
#define AGENT_AGENTSERVER_H

#include "hostdiscovery.h"
#include "jobregistry.h"
#include "jobsender.h"
#include "printercatalog.h"

#include <memory>
#include <mutex>
#include <string>

class BoundedServer;

namespace httplib {
struct Request;
struct Response;
}

// The agent's HTTP side: printer discovery and profiles, slicing jobs and their progress, job
// files, and the request to end. Listens on 127.0.0.1 only.
//
// The data folder holds "printers.json" (configured printer hosts), "user-profiles.json" (profiles
// people saved through the agent), "jobs/" (one folder of layer images per slicing job),
// "downloads/" (job files waiting for the client to move them) and "outbox/" (job files on their
// way to a printer host).
class AgentServer {
public:
    explicit AgentServer(std::string dataFolder, const UploadLimits& uploadLimits = {});
    ~AgentServer();
    AgentServer(const AgentServer&) = delete;
    AgentServer& operator=(const AgentServer&) = delete;

    // Creates the data folder's layout, locks the folder for this agent and binds 127.0.0.1:port
    // (0 picks a free port). False and one sentence on failure, also when another agent holds the
    // data folder: it would take the job folders of that agent for leftovers and remove them.
    bool bind(int port, std::string& error);
    int port() const { return m_port; }

    // Serves until stop() is called or a client asks for "/terminate"; then cancels the running
    // jobs and waits for them, so that no job folder is left with a half-written file.
    void run();
    // May be called from any thread, also before run().
    void stop();

private:
    void handlePrinterDetails(const httplib::Request& request, httplib::Response& response);
    void handlePrinterProfiles(const httplib::Request& request, httplib::Response& response);
    void handleSlice(const httplib::Request& request, httplib::Response& response, bool advanced);
    void handleProgress(const httplib::Request& request, httplib::Response& response);
    void handleDownload(const httplib::Request& request, httplib::Response& response);
    void handleSend(const httplib::Request& request, httplib::Response& response);
    void handleSaveProfile(const httplib::Request& request, httplib::Response& response);
    void handleDeleteProfile(const httplib::Request& request, httplib::Response& response);
    // The built-in and configured printers, then the hosts discovery knows of now, each with the
    // profiles people saved for it.
    PrinterCatalog knownPrinters() const;
    // Reads the form's "path" and finds the job of that folder, giving back the folder as the
    // registry made it; false with the error answered when the form is bad or the folder is not
    // one of our job folders.
    bool findJobFolder(const httplib::Request& request, httplib::Response& response,
        std::string& folder, std::string& jobName, JobStatus& status);

    const std::string m_dataFolder;
    const std::string m_jobsFolder;
    const std::string m_downloadsFolder;
    const std::string m_printersFile;
    const std::string m_userProfilesFile;
    std::mutex m_userProfilesLock; // one change of the user profiles at a time
    int m_port = 0;
    int m_folderLock = -1; // the data folder, locked while this agent runs
    JobRegistry m_jobs;
    HostDiscovery m_discovery;
    JobSender m_sender;
    std::unique_ptr<BoundedServer> m_server;
};

#endif
