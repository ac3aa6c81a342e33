// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SLICEWIRE_FORMBODY_H
#define SLICEWIRE_FORMBODY_H

#include "slicewire_export.h"

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

using FormItems = QVector<QPair<QString, QString>>;

// The body of a form-encoded POST to the agent: the items in the given order,
// rendered as a fully encoded query (a space is %20, "&" "=" "#" escaped, ":"
// and "/" literal), as UTF-8. A "+" is sent as %2B: form decoders read a bare
// "+" as a space, which would change paths such as /home/u/c++/part.stl.
SLICEWIRE_EXPORT QByteArray formBody(const FormItems& items);

#endif
