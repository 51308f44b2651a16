// SPDX-License-Identifier: GPL-3.0-or-later
// The face the window and its dialogs were laid out for.
#pragma once

#include <QFont>

namespace tidy {

// Segoe UI at `pixelSize`; where it is missing (Linux, Wine), a sans face of similar width, so that
// captions keep clear of what stands beside them. Qt's own fallback for a missing face is the
// system's, which on Windows is a serif one.
QFont uiFont(int pixelSize);

} // namespace tidy
