// SPDX-FileCopyrightText: 2026 Corvane developers
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef AGENT_ENGINE_PLATEPREVIEW_H
#define AGENT_ENGINE_PLATEPREVIEW_H

#include "jobformat.h"
#include "stl.h"

// A shaded picture of the plate's models (plate millimetres, +x right, +y away, +z up), as a
// printer's screen shows a job: from straight above (+x right, +y up in the picture) or from the
// front right at an angle. Orthographic, framed to the models with a margin, drawn with a depth
// buffer and Lambert shading, two samples per pixel each way.
RgbImage renderPlatePreview(
    const std::vector<const Mesh*>& meshes, PreviewView view, int width, int height);

#endif
