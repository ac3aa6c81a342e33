// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_CONNECTIONPOOL_H
#define AGENT_CONNECTIONPOOL_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The threads that serve the agent's connections, one connection each, and the room where
// connections wait for one. A connection gets a thread only once it has sent something: silent
// ones wait in the room, watched by one thread, so that any number of them never keeps a thread
// from the desktop client's polls. Each queue (the silent connections, and those that have sent
// something but find every thread busy) holds at most `mostWaiting`; beyond that the connection
// that has waited longest is closed unanswered. A connection silent for `silentTime` is closed
// too. Threads are made when connections need them and kept for the next ones, up to `most`.
class ConnectionPool {
public:
    using Clock = std::chrono::steady_clock;
    // Serves a connection accepted at `accepted` and closes it.
    using Serve = std::function<void(int socket, Clock::time_point accepted)>;

    ConnectionPool(
        std::size_t most, std::size_t mostWaiting, Clock::duration silentTime, Serve serve);
    ~ConnectionPool(); // shutdown()
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // Takes the socket of a new connection over. May be called from any thread.
    void add(int socket);
    // Whether connections that have sent something wait for a thread.
    bool othersWaiting();
    // Closes the connections that wait, unserved, and waits for the threads to finish the ones
    // they serve. No connection is taken after it.
    void shutdown();

private:
    struct Waiting {
        int socket;
        Clock::time_point accepted;
    };

    void wakeWatcher();
    void watch();
    void work();
    void closeWaiting(std::deque<Waiting>& waiting);

    const std::size_t m_most;
    const std::size_t m_mostWaiting;
    const Clock::duration m_silentTime;
    const Serve m_serve;
    int m_wakeRead = -1; // a pipe that wakes the watching thread
    int m_wakeWrite = -1;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Waiting> m_arrived; // added, not yet watched
    std::deque<Waiting> m_ready; // have sent something, wait for a thread
    std::vector<std::thread> m_threads;
    std::size_t m_idle = 0;
    bool m_shutdown = false;
    std::thread m_watcher; // the only one that touches the room
};

#endif
