// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_SUPPORTS_SUPPORTPROGRESS_H
#define MODELBAY_SUPPORTS_SUPPORTPROGRESS_H

#include <atomic>
#include <cstddef>
#include <functional>
#include <utility>

// Progress of a support run in whole percent, and its cancel flag. The editor runs the planner
// on a worker thread: the callback is called on that thread, only when the percentage changes.
class SupportProgress {
public:
    SupportProgress(std::function<void(int percent)> report, const std::atomic<bool>* cancel)
        : m_report(std::move(report))
        , m_cancel(cancel)
    {
    }

    // Later stages count within this part of the whole run, from `from` to `to` percent.
    void window(int from, int to)
    {
        m_windowFrom = from;
        m_windowTo = to;
    }

    // The next steps cover the percentages from `from` to `to` of the window.
    void stage(int from, int to)
    {
        m_from = m_windowFrom + (m_windowTo - m_windowFrom) * from / 100;
        m_to = m_windowFrom + (m_windowTo - m_windowFrom) * to / 100;
        step(0, 1);
    }

    // `done` of `total` steps of the stage; false once the run is cancelled.
    bool step(std::size_t done, std::size_t total)
    {
        const int percent
            = total ? m_from + int((m_to - m_from) * double(done) / double(total)) : m_to;
        if (percent != m_reported && m_report) {
            m_reported = percent;
            m_report(percent);
        }
        return !cancelled();
    }

    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

private:
    std::function<void(int)> m_report;
    const std::atomic<bool>* m_cancel;
    int m_windowFrom = 0;
    int m_windowTo = 100;
    int m_from = 0;
    int m_to = 100;
    int m_reported = -1;
};

#endif
