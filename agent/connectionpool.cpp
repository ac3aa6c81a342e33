// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "connectionpool.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

ConnectionPool::ConnectionPool(
    std::size_t most, std::size_t mostWaiting, Clock::duration silentTime, Serve serve)
    : m_most(most)
    , m_mostWaiting(mostWaiting)
    , m_silentTime(silentTime)
    , m_serve(std::move(serve))
{
    int ends[2];
    if (pipe(ends) == 0) {
        m_wakeRead = ends[0];
        m_wakeWrite = ends[1];
        for (const int end : ends) {
            fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
            fcntl(end, F_SETFD, FD_CLOEXEC);
        }
    }
    m_watcher = std::thread([this] { watch(); });
}

ConnectionPool::~ConnectionPool()
{
    shutdown();
    if (m_wakeRead >= 0) {
        ::close(m_wakeRead);
        ::close(m_wakeWrite);
    }
}

void ConnectionPool::add(int socket)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_shutdown) {
            ::close(socket);
            return;
        }
        m_arrived.push_back({ socket, Clock::now() });
    }
    wakeWatcher();
}

bool ConnectionPool::othersWaiting()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_ready.empty();
}

void ConnectionPool::wakeWatcher()
{
    // A full pipe already holds a wake-up; without a pipe the watcher looks every few
    // milliseconds anyway.
    const char wake = 1;
    while (m_wakeWrite >= 0 && write(m_wakeWrite, &wake, 1) < 0 && errno == EINTR) { }
}

void ConnectionPool::shutdown()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_shutdown && !m_watcher.joinable())
            return;
        m_shutdown = true;
        closeWaiting(m_arrived);
        closeWaiting(m_ready);
    }
    m_wake.notify_all();
    wakeWatcher();
    if (m_watcher.joinable())
        m_watcher.join();
    for (std::thread& thread : m_threads) {
        if (thread.joinable())
            thread.join();
    }
}

void ConnectionPool::closeWaiting(std::deque<Waiting>& waiting)
{
    for (const Waiting& connection : waiting)
        ::close(connection.socket);
    waiting.clear();
}

void ConnectionPool::watch()
{
    std::deque<Waiting> room; // oldest first
    std::vector<pollfd> entries;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_shutdown)
                break;
            room.insert(room.end(), m_arrived.begin(), m_arrived.end());
            m_arrived.clear();
        }
        while (room.size() > m_mostWaiting) {
            ::close(room.front().socket);
            room.pop_front();
        }

        entries.assign(1, pollfd { m_wakeRead, POLLIN, 0 });
        for (const Waiting& connection : room)
            entries.push_back({ connection.socket, POLLIN, 0 });
        // Without a wake-up pipe, arrivals are picked up at this pace.
        int timeout = m_wakeRead >= 0 ? -1 : 10;
        if (!room.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                room.front().accepted + m_silentTime - Clock::now());
            const int untilOldest = int(std::max<long long>(left.count() + 1, 0));
            timeout = timeout < 0 ? untilOldest : std::min(timeout, untilOldest);
        }
        if (poll(entries.data(), entries.size(), timeout) < 0 && errno != EINTR)
            entries.assign(entries.size(), pollfd {}); // nothing known; deadlines still hold
        char drained[64];
        while (m_wakeRead >= 0 && read(m_wakeRead, drained, sizeof drained) > 0) { }

        // A connection that has sent something (or ended, or failed) is served; its thread
        // sees which.
        const Clock::time_point now = Clock::now();
        std::deque<Waiting> still;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t i = 0; i < room.size(); ++i) {
            if (entries[i + 1].revents != 0) {
                m_ready.push_back(room[i]);
                if (m_ready.size() > m_mostWaiting) {
                    ::close(m_ready.front().socket);
                    m_ready.pop_front();
                }
                if (m_idle < m_ready.size() && m_threads.size() < m_most)
                    m_threads.emplace_back([this] { work(); });
                else
                    m_wake.notify_one();
            } else if (now - room[i].accepted >= m_silentTime) {
                ::close(room[i].socket);
            } else {
                still.push_back(room[i]);
            }
        }
        room.swap(still);
    }
    closeWaiting(room);
}

void ConnectionPool::work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_wake.wait(lock, [this] { return !m_ready.empty() || m_shutdown; });
        --m_idle;
        if (m_ready.empty())
            return; // shut down
        const Waiting connection = m_ready.front();
        m_ready.pop_front();
        lock.unlock();
        m_serve(connection.socket, connection.accepted);
        lock.lock();
    }
}
