// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODELBAY_MODELBAY_H
#define MODELBAY_MODELBAY_H

#include "modelbay_export.h"

// The scene editor: its QML, its images and the types its QML needs.
namespace Qt3DSceneModelbay {
MODELBAY_EXPORT void register3DSceneEditorQML();
}

#endif
