// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real tidyland in a child process, optionally with a fault injected into its
// environment: another user, a file size limit.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tidytest {

struct ChildOptions {
    // Run as the unprivileged user "nobody" (uid and gid 65534); only root can do this.
    bool asNobody = false;
    // RLIMIT_FSIZE in bytes: writes beyond it fail with EFBIG (SIGXFSZ is ignored).
    std::optional<unsigned long> fileSizeLimit;
};

struct Outcome {
    int status = -1; // exit status, -1 when killed by a signal
    int signal = 0;  // the signal that ended it, or 0
    std::string out;
    std::string err;
};

// Runs tidyland with `args` to its end.
Outcome runTidyland(const std::vector<std::string>& args, const ChildOptions& options = {});

// Starts tidyland with `args`, its output thrown away; the caller waits for it.
pid_t startTidyland(const std::vector<std::string>& args);

// Waits for a child started with startTidyland.
Outcome waitFor(pid_t child);

// Whether this process may act as another user (it runs as root).
bool canActAsNobody();

constexpr unsigned kNobody = 65534;

// Why tidyland cannot be run as "nobody" here, or nothing when it can.
std::optional<std::string> whyTidylandCannotRunAsNobody();

} // namespace tidytest
