// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_CONNECTIONPOOL_H
#define AGENT_CONNECTIONPOOL_H

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The threads that serve the agent's connections, one connection each. Threads are made when
// connections come and kept for the next ones, up to `most`; beyond that, connections wait.
// Every connection ends within a few seconds (see BoundedServer), so with room for many of them
// a few slow or idle clients never keep the desktop client's polls waiting.
class ConnectionPool : public httplib::TaskQueue {
public:
    explicit ConnectionPool(std::size_t most);
    ~ConnectionPool() override;
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    void enqueue(std::function<void()> task) override;
    void shutdown() override; // runs the waiting tasks, then joins every thread

private:
    void work();

    const std::size_t m_most;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    std::vector<std::thread> m_threads;
    std::size_t m_idle = 0;
    bool m_shutdown = false;
};

#endif
