// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace tidy {

// The one error the core throws. Its message is complete and meant for the user: it names the
// file and, where there is one, the place in it ("file: line 12, column 5: ...").
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace tidy
