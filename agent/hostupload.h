// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_HOSTUPLOAD_H
#define AGENT_HOSTUPLOAD_H

#include "hostanswer.h"
#include "hostcredentials.h"
#include "hostexchange.h"

#include <mutex>
#include <set>
#include <string>

// Lets another thread end every upload at once, when the agent ends: a host that stalls would
// otherwise keep the agent waiting for the whole stall time.
class UploadCanceller {
public:
    // Every upload running now fails at once, and every later one before it starts.
    void cancelAll();

    // For the uploads themselves: false when cancelled already.
    bool attach(HostExchange* exchange);
    void detach(HostExchange* exchange);
    bool cancelled();

private:
    std::mutex m_mutex;
    std::set<HostExchange*> m_exchanges;
    bool m_cancelled = false;
};

// A transfer without progress for stallSeconds is abandoned, and so is an answer that takes
// longer than answerSeconds after the upload, however steadily it drips in.
using UploadLimits = ExchangeLimits;

// Stores the job file at filePath on the printer host at ip:port under fileName (already made
// safe with hostFileName) and waits until the host confirms it. Asks "/api/version" first: a
// host that reports "upload-by-put" gets the file API's PUT, any other the form upload. The file
// is streamed from disk in small pieces. Blocks the calling thread for the whole transfer and
// shares nothing but the canceller, so any number may run at once.
// A file of that name on the host is replaced only with `overwrite`; without it the host keeps
// its file, and its refusal comes back with fileExists set. Only the PUT dialect can replace
// (Overwrite-File); the form upload says it cannot.
SendOutcome uploadJobFile(const std::string& ip, const std::string& port,
    const HostCredentials& credentials, const std::string& filePath, const std::string& fileName,
    UploadCanceller& canceller, const UploadLimits& limits = {}, bool overwrite = false);

#endif
