// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_AGENT_PRIVATENETWORK_H
#define TESTS_AGENT_PRIVATENETWORK_H

// Moves this process into a network namespace of its own with its loopback up, so that the
// servers it starts, and the ports they take, meet no other program on the machine. Call it
// first thing in main: a namespace belongs to the thread that makes it, and only threads and
// processes started afterwards follow. False where none can be made (without root), and the
// process stays where it was.
bool enterPrivateNetwork();

#endif
