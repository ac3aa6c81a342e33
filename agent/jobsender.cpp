// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobsender.h"

#include "hostfilename.h"
#include "jobfile.h"
#include "jobfilename.h"
#include "platedocument.h"

#include <cerrno>
#include <cmath>
#include <dirent.h>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

// Counts one running send for as long as it lives.
class RunningSend {
public:
    explicit RunningSend(std::atomic<int>& running)
        : m_running(running)
    {
        m_count = ++m_running;
    }
    ~RunningSend() { --m_running; }
    RunningSend(const RunningSend&) = delete;
    RunningSend& operator=(const RunningSend&) = delete;
    int count() const { return m_count; }

private:
    std::atomic<int>& m_running;
    int m_count = 0;
};

} // namespace

std::string jobMismatch(
    const std::string& jobFolder, const Printer& printer, const Profile& profile)
{
    PlateDocument job;
    std::string error;
    if (!readPlateDocument(jobFolder + "/plate.json", job, error))
        return error;
    const bool same = job.pixelsX == profile.pixelsX && job.pixelsY == profile.pixelsY
        && std::abs(job.pixelUmX - profile.pixelUmX) < 1e-6
        && std::abs(job.pixelUmY - profile.pixelUmY) < 1e-6 && job.mirrorX == profile.mirrorX
        && job.mirrorY == profile.mirrorY && job.depthUm == profile.depthUm;
    if (!same)
        return "The job was sliced for " + std::to_string(job.pixelsX) + " x "
            + std::to_string(job.pixelsY) + " pixels in layers of " + std::to_string(job.depthUm)
            + " µm, which the profile \"" + profile.title + "\" of " + printer.name
            + " does not print; slice it again for this printer.";
    // The job is packed in the file its own printer reads, which must be this printer's too.
    const std::string jobFormat = job.format.empty() ? "sl1" : job.format;
    const std::string printerFormat = printer.format.empty() ? "sl1" : printer.format;
    if (jobFormat == printerFormat)
        return {};
    return "The job was sliced for a printer that reads " + jobFormat + " job files, but "
        + printer.name + " reads " + printerFormat + " files; slice it again for this printer.";
}

JobSender::JobSender(std::string outboxFolder, int maxAtOnce, UploadLimits limits)
    : m_outboxFolder(std::move(outboxFolder))
    , m_maxAtOnce(maxAtOnce)
    , m_limits(limits)
{
}

void JobSender::removeLeftovers()
{
    DIR* folder = opendir(m_outboxFolder.c_str());
    if (!folder)
        return;
    while (const dirent* entry = readdir(folder)) {
        // Every name but "." and ".." is a job file of ours (d_type is not known on every file
        // system, and remove() leaves anything else alone).
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            std::remove((m_outboxFolder + "/" + entry->d_name).c_str());
    }
    closedir(folder);
}

SendOutcome JobSender::send(const std::string& jobFolder, const std::string& name,
    const std::string& ip, const std::string& port, const HostCredentials& credentials)
{
    const RunningSend running(m_running);
    if (running.count() > m_maxAtOnce)
        return { 503,
            "The agent is already sending " + std::to_string(m_maxAtOnce)
                + " jobs; send this one when one of them has finished.",
            {} };
    if (mkdir(m_outboxFolder.c_str(), 0700) != 0 && errno != EEXIST)
        return { 500,
            "The agent cannot create its folder " + m_outboxFolder + ": " + std::strerror(errno)
                + ".",
            {} };
    // The packed file keeps its temporary name: nobody but this send ever looks for it.
    std::string file;
    std::string extension;
    std::string error;
    if (!packJobFile(jobFolder, m_outboxFolder + "/" + jobFileStem(name), file, extension, error))
        return { 500, error, {} };
    // The host stores it under the extension of the printer's own format.
    const std::string fileName = hostFileName(name, extension);
    SendOutcome outcome
        = uploadJobFile(ip, port, credentials, file, fileName, m_canceller, m_limits);
    std::remove(file.c_str());
    return outcome;
}
