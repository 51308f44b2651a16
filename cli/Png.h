// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Pictures as PNG files, for tidyland render. The core knows nothing of file formats for
// pictures; zlib does the compressing.

#include "core/surfaces/SurfacePicture.h"

#include <string>

namespace tidycli {

// The picture as an 8-bit palette PNG with the picture's palette, compressed for speed.
std::string encodePng(const tidy::Picture& picture);

} // namespace tidycli
