// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real tidyland in a child process, optionally with a fault injected into its
// environment: another user, a file size limit, a memory limit, a standard output that fails.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tidytest {

struct ChildOptions {
    // Run as the unprivileged user "nobody" (uid and gid 65534); only root can do this.
    bool asNobody = false;
    // RLIMIT_FSIZE in bytes. SIGXFSZ keeps its default action, as under a user's shell.
    std::optional<unsigned long> fileSizeLimit;
    // Supplementary groups of "nobody".
    std::vector<gid_t> groups = {};
    // RLIMIT_AS in bytes.
    std::optional<unsigned long> memoryLimit = {};
    // Standard output goes to this file (opened for appending) instead of being captured.
    std::string stdoutPath = {};
};

struct Outcome {
    int status = -1; // exit status, -1 when killed by a signal
    int signal = 0;  // the signal that ended it, or 0
    std::string out;
    std::string err;
};

// Runs tidyland with `args` to its end.
Outcome runTidyland(const std::vector<std::string>& args, const ChildOptions& options = {});

// A tidyland started and not yet waited for.
struct Running {
    pid_t pid;
    int outFd; // its output, read once it ends
    int errFd;
};

// Starts tidyland with `args`; the caller waits for it.
Running startTidyland(const std::vector<std::string>& args, const ChildOptions& options = {});

// Waits for a child started with startTidyland and takes its output.
Outcome waitFor(const Running& child);

// Whether this process may act as another user (it runs as root).
bool canActAsNobody();

constexpr unsigned kNobody = 65534;

// Why tidyland cannot be run as "nobody" here, or nothing when it can.
std::optional<std::string> whyTidylandCannotRunAsNobody();

} // namespace tidytest
