// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pictures as PNG files, for tidyland render. The core knows nothing of file formats for
// pictures; zlib does the compressing.

#include "surfaces/SurfacePicture.h"

#include <string>

namespace tidycli {

// The picture as an 8-bit palette PNG with the picture's palette, compressed for speed.
std::string encodePng(const tidy::Picture& picture);

// Writes `bytes` to `path` through a temporary file in the same folder that is renamed over
// `path` only when complete, so a failure leaves no half-written file. Throws tidy::Error
// naming `path`.
void writeFileAtomically(const std::string& path, const std::string& bytes);

} // namespace tidycli
