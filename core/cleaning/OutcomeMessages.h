// SPDX-License-Identifier: GPL-3.0-or-later
// The texts that report an edit and save: the window shows them, tidyland passes them on.
#pragma once

#include "core/cleaning/EditAndSave.h"

#include <string>
#include <vector>

namespace tidy {

// The information messages that follow a written save, in the order they are shown; none
// when nothing was written.
std::vector<std::string> outcomeMessages(const EditAndSaveOptions& options,
                                         const EditAndSaveResult& result);

// The error of an edit and save that found no file at `path`.
std::string noFileToEdit(const std::string& path);

} // namespace tidy
