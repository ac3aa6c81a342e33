// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_E2E_ZIPDIRECTORY_H
#define TESTS_E2E_ZIPDIRECTORY_H

#include <QByteArray>
#include <QStringList>

// Names of the entries in a zip file's central directory, in their order;
// empty when the bytes are not a zip file.
QStringList zipEntryNames(const QByteArray &zip);

#endif
