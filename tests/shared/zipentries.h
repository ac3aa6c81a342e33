// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TESTS_SHARED_ZIPENTRIES_H
#define TESTS_SHARED_ZIPENTRIES_H

#include <QByteArray>
#include <QStringList>

// Names of the entries in a zip file's central directory, in their order, read
// the way an unpacking tool finds them: from the end-of-central-directory
// record backwards. Empty when the bytes are not a zip file.
QStringList zipEntryNames(const QByteArray& zip);

// The bytes of a stored (not compressed) entry, found through the central
// directory; empty when there is no such entry or it is compressed.
QByteArray zipStoredEntry(const QByteArray& zip, const QString& name);

#endif
