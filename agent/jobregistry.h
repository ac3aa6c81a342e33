// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_JOBREGISTRY_H
#define AGENT_JOBREGISTRY_H

#include "plate.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Where one job stands, as the progress poll reports it.
struct JobStatus {
    enum class State { None, Loading, Running, Finished, Failed };
    State state = State::None;
    int layersDone = 0;
    int layerCount = 0;
    std::string error; // one sentence, when Failed
};

// The slicing jobs this agent has started. Each job slices into a folder of its own, created here,
// on a thread of its own; only the newest job is reported, and starting a job cancels the ones
// still running, so the progress of two jobs never mixes; the folders of failed and cancelled
// jobs are removed when the next job starts. Only folders listed here may be packed into job
// files or sent. Every member may be called from any thread.
class JobRegistry {
public:
    explicit JobRegistry(std::string jobsFolder);
    ~JobRegistry(); // cancels the running jobs and waits for their threads
    JobRegistry(const JobRegistry&) = delete;
    JobRegistry& operator=(const JobRegistry&) = delete;

    // Removes the job folders an earlier run of the agent left behind: nothing can name them any
    // more, since only folders of this run are accepted.
    void removeOldFolders();

    // Creates a new job folder and starts slicing the plate into it. folder is the absolute path
    // to hand to the client. False and one sentence when no folder can be made, or when request
    // (a number from beginLoading(), 0 for none) is no longer the newest request: the request
    // that arrived last wins, even when an older one takes longer to read its models.
    bool start(Plate plate, std::string& folder, std::string& error, std::uint64_t request = 0);

    // A slicing request has arrived and reads its models; returns its number. The client polls
    // while it waits for the answer, so until the newest request ends with endLoading() the
    // newest job is one that has not begun (State::Loading), never the end or the failure of the
    // job before it. When the newest request fails, it passes its sentence to endLoading(): until
    // the next job starts, that failure is the newest job (State::Failed), so a poll answered
    // after the refusal cannot report the job before as this one's end. Older requests change
    // nothing here.
    std::uint64_t beginLoading();
    void endLoading(std::uint64_t request, const std::string& failure = std::string());

    JobStatus newest() const;
    bool isNewest(std::uint64_t request) const;

    // The status of the job whose folder is path (any spelling of it that resolves to the same
    // folder), with the job's name; State::None when path is not one of our job folders. The
    // folder as this registry made it goes to jobFolder: work on the job uses that, never the
    // caller's spelling, whose links may point elsewhere by the time it is opened.
    JobStatus find(
        const std::string& path, std::string& jobName, std::string* jobFolder = nullptr) const;

    // Cancels every running job and waits for its thread: the agent is about to end.
    void stopAll();

private:
    struct Job;
    static JobStatus statusOf(const Job& job);

    const std::string m_jobsFolder;
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<Job>> m_jobs; // oldest first
    std::uint64_t m_newestRequest = 0; // the number of the slicing request that arrived last
    bool m_newestLoading = false; // and whether it is still reading its models
    std::string m_refusal; // the sentence of the last failed request, until a job starts
};

#endif
