// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_JOBSENDER_H
#define AGENT_JOBSENDER_H

#include "hostanswer.h"
#include "hostcredentials.h"
#include "hostupload.h"
#include "profile.h"

#include <atomic>
#include <string>

// Empty when the job sliced in jobFolder can be printed with this profile of this printer: its
// layer images were made for the same display (pixels, pixel size, mirroring) and layer height.
// Otherwise one sentence saying why not, since the printer would print it at the wrong size.
std::string jobMismatch(
    const std::string& jobFolder, const Printer& printer, const Profile& profile);

// Sends finished jobs to printer hosts: packs the job folder into a job file in the outbox
// folder, uploads it and removes it again, whatever the outcome. Each send runs on the thread
// that asks for it and holds no lock, so a slow host holds up only its own request. At most
// maxAtOnce sends run together, so that sends can never take every thread the server answers
// polls with.
class JobSender {
public:
    explicit JobSender(std::string outboxFolder, int maxAtOnce = 4, UploadLimits limits = {});

    // Ends the sends under way at once, and refuses later ones: the agent is ending.
    void cancelAll() { m_canceller.cancelAll(); }

    // Removes the job files an earlier run left in the outbox when it ended during a send.
    void removeLeftovers();

    // jobFolder is a finished job of the registry; name is what the user calls the job, which
    // becomes the file name on the host (made safe with hostFileName); a file of that name on
    // the host is replaced only with `overwrite`.
    SendOutcome send(const std::string& jobFolder, const std::string& name, const std::string& ip,
        const std::string& port, const HostCredentials& credentials, bool overwrite = false);

private:
    const std::string m_outboxFolder;
    const int m_maxAtOnce;
    const UploadLimits m_limits;
    std::atomic<int> m_running { 0 };
    UploadCanceller m_canceller;
};

#endif
