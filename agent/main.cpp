// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentserver.h"
#include "options.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <string>
#include <thread>
#include <vector>

namespace {

// Tells the signal waiter that the server has ended; it is in the waited set, so it never kills.
constexpr int wakeSignal = SIGUSR1;

} // namespace

int main(int argc, char** argv)
{
    AgentOptions options;
    std::string error;
    if (!parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "agent: %s\n", error.c_str());
        return 2;
    }
    const std::string dataFolder = options.dataDir.empty()
        ? defaultDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"))
        : options.dataDir;
    if (dataFolder.empty()) {
        std::fprintf(stderr, "agent: neither XDG_DATA_HOME nor HOME names a data folder.\n");
        return 1;
    }

    // The desktop program ends us with SIGTERM. Every thread starts with these signals blocked
    // and one thread takes them with sigwait, so that the end runs as ordinary code: the server
    // stops, running jobs are cancelled and joined, and main returns.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGHUP);
    sigaddset(&endSignals, wakeSignal);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
#ifdef __linux__
    // When the program that started us goes without stopping us (a crash, a kill), the kernel
    // sends the same SIGTERM, so no agent is left holding the port for the next start.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    std::signal(SIGPIPE, SIG_IGN); // a client that hangs up must not end us

    UploadLimits uploadLimits;
    uploadLimits.answerSeconds = options.hostAnswerSeconds;
    AgentServer server(dataFolder, uploadLimits);
    if (!server.bind(options.port, error)) {
        std::fprintf(stderr, "agent: %s\n", error.c_str());
        return 1;
    }
    // Tests start us on port 0 and read the port from this line.
    std::printf("agent: serving http://127.0.0.1:%d\n", server.port());
    std::fflush(stdout);

    std::mutex mutex;
    std::condition_variable ended;
    bool serverEnded = false;
    std::thread waiter([&] {
        int signalNumber = 0;
        sigwait(&endSignals, &signalNumber);
        if (signalNumber == wakeSignal)
            return;
        // A signal that comes before the server listens would be lost: ask until it has ended.
        std::unique_lock<std::mutex> lock(mutex);
        do {
            server.stop();
        } while (
            !ended.wait_for(lock, std::chrono::milliseconds(100), [&] { return serverEnded; }));
    });

    server.run();
    {
        std::lock_guard<std::mutex> lock(mutex);
        serverEnded = true;
    }
    ended.notify_all();
    pthread_kill(waiter.native_handle(), wakeSignal);
    waiter.join();
    return 0;
}
