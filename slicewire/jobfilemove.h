// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SLICEWIRE_JOBFILEMOVE_H
#define SLICEWIRE_JOBFILEMOVE_H

#include "slicewire_export.h"

#include <QString>

// Moves the job file that the agent wrote to the place the user chose, never
// replacing an existing file (QFile::rename, which copies across volumes).
// Returns an empty text on success, otherwise a sentence for the user that
// names the destination and says why the file could not be saved there.
SLICEWIRE_EXPORT QString moveJobFile(const QString& source, const QString& destination);

#endif
