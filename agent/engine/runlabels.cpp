// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "runlabels.h"

int RunLabels::root(int run)
{
    while (m_parent[std::size_t(run)] != run) {
        m_parent[std::size_t(run)] = m_parent[std::size_t(m_parent[std::size_t(run)])];
        run = m_parent[std::size_t(run)];
    }
    return run;
}

int RunLabels::label(const PixelRuns& runs, bool diagonal)
{
    const std::size_t n = runs.size();
    m_parent.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        m_parent[i] = int(i);
    const int reach = diagonal ? 1 : 0; // how far past its ends a run touches the next row
    std::size_t rowBegin = 0, aboveBegin = 0, aboveEnd = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const PixelRun& run = runs[i];
        if (i == 0 || runs[i - 1].row != run.row) {
            const bool adjacent = i > 0 && runs[i - 1].row == run.row - 1;
            aboveBegin = adjacent ? rowBegin : i;
            aboveEnd = i;
            rowBegin = i;
        }
        while (aboveBegin < aboveEnd && runs[aboveBegin].to + reach <= run.from)
            ++aboveBegin;
        for (std::size_t j = aboveBegin; j < aboveEnd && runs[j].from < run.to + reach; ++j) {
            int a = root(int(j)), b = root(int(i));
            if (a != b)
                m_parent[std::size_t(a > b ? a : b)] = a < b ? a : b;
        }
    }
    // Each root is the region's first run, so numbering roots in order numbers regions so too.
    m_labels.resize(n);
    int count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int r = root(int(i));
        m_labels[i] = r == int(i) ? count++ : m_labels[std::size_t(r)];
    }
    return count;
}
