// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobregistry.h"

#include "slicer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

struct JobRegistry::Job {
    std::string folder; // as handed to the client
    std::string canonical; // the same folder with every link resolved
    std::string name;
    int layerCount = 0;
    std::atomic<int> layersDone { 0 };
    std::atomic<bool> cancel { false };
    std::atomic<JobStatus::State> state { JobStatus::State::Running };
    std::string error; // written before state becomes Failed, read only after
    std::thread thread;
};

namespace {

std::string canonicalPath(const std::string& path)
{
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved))
        return {};
    return resolved;
}

constexpr const char* folderPrefix = "job-";

} // namespace

JobRegistry::JobRegistry(std::string jobsFolder)
    : m_jobsFolder(std::move(jobsFolder))
{
}

JobRegistry::~JobRegistry() { stopAll(); }

void JobRegistry::removeOldFolders()
{
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(m_jobsFolder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(folderPrefix, 0) == 0 && entry.is_directory(ignored))
            std::filesystem::remove_all(entry.path(), ignored);
    }
}

bool JobRegistry::start(Plate plate, std::string& folder, std::string& error, std::uint64_t request)
{
    // mkdtemp picks a name nobody else holds and creates the folder private to this user.
    std::string pattern = m_jobsFolder + "/" + folderPrefix + "XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error = "The agent cannot create a job folder in " + m_jobsFolder + ": "
            + std::strerror(errno) + ".";
        return false;
    }
    auto job = std::make_unique<Job>();
    job->folder = pattern;
    job->canonical = canonicalPath(pattern);
    job->name = plate.jobName;
    job->layerCount = plate.layerCount;
    Job* raw = job.get();

    std::lock_guard<std::mutex> lock(m_mutex);
    if (request != 0 && request != m_newestRequest) {
        std::error_code ignored;
        std::filesystem::remove(pattern, ignored);
        error = "A newer slicing request arrived while this one read its models, so this one "
                "was dropped.";
        return false;
    }
    m_refusal.clear();
    for (const auto& older : m_jobs) {
        older->cancel = true;
        // Threads that have ended are joined now rather than piling up until the agent ends.
        if (older->state != JobStatus::State::Running && older->thread.joinable())
            older->thread.join();
    }
    // Failed and cancelled jobs can never be packed: their layer images only take up room.
    const auto unusable = [](const std::unique_ptr<Job>& older) {
        // Only a joined thread lets its job go; one that failed just now goes next time.
        if (older->state != JobStatus::State::Failed || older->thread.joinable())
            return false;
        std::error_code ignored;
        std::filesystem::remove_all(older->folder, ignored);
        return true;
    };
    m_jobs.erase(std::remove_if(m_jobs.begin(), m_jobs.end(), unusable), m_jobs.end());
    raw->thread = std::thread([raw, plate = std::move(plate)] {
        std::string sliceError;
        bool sliced = false;
        // An exception here would end the whole agent: the job fails with a sentence instead.
        try {
            sliced = slicePlate(
                plate, raw->folder,
                [raw](int layersDone) {
                    // Worker threads may report out of order: keep the largest count.
                    int known = raw->layersDone.load();
                    while (layersDone > known
                        && !raw->layersDone.compare_exchange_weak(known, layersDone)) { }
                },
                raw->cancel, sliceError);
        } catch (const std::bad_alloc&) {
            sliceError = "There is not enough memory to slice the job.";
        } catch (const std::exception& exception) {
            sliceError = std::string("Slicing failed: ") + exception.what() + ".";
        }
        if (sliced) {
            raw->state = JobStatus::State::Finished;
        } else {
            raw->error = sliceError.empty() ? "Slicing stopped without saying why." : sliceError;
            raw->state = JobStatus::State::Failed;
        }
    });
    m_jobs.push_back(std::move(job));
    folder = raw->folder;
    return true;
}

JobStatus JobRegistry::statusOf(const Job& job)
{
    JobStatus status;
    status.state = job.state;
    status.layerCount = job.layerCount;
    status.layersDone = job.layersDone;
    if (status.state == JobStatus::State::Failed)
        status.error = job.error;
    return status;
}

std::uint64_t JobRegistry::beginLoading()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_newestLoading = true;
    return ++m_newestRequest;
}

void JobRegistry::endLoading(std::uint64_t request, const std::string& failure)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (request != m_newestRequest)
        return;
    m_newestLoading = false;
    if (!failure.empty())
        m_refusal = failure;
}

JobStatus JobRegistry::newest() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_newestLoading) {
        JobStatus loading;
        loading.state = JobStatus::State::Loading;
        return loading;
    }
    if (!m_refusal.empty()) {
        JobStatus refused;
        refused.state = JobStatus::State::Failed;
        refused.error = m_refusal;
        return refused;
    }
    if (m_jobs.empty())
        return {};
    return statusOf(*m_jobs.back());
}

bool JobRegistry::isNewest(std::uint64_t request) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return request == m_newestRequest;
}

JobStatus JobRegistry::find(
    const std::string& path, std::string& jobName, std::string* jobFolder) const
{
    const std::string canonical = canonicalPath(path);
    if (canonical.empty())
        return {};
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& job : m_jobs) {
        if (job->canonical == canonical) {
            jobName = job->name;
            if (jobFolder)
                *jobFolder = job->folder;
            return statusOf(*job);
        }
    }
    return {};
}

void JobRegistry::stopAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& job : m_jobs)
        job->cancel = true;
    for (const auto& job : m_jobs) {
        if (job->thread.joinable())
            job->thread.join();
    }
}
