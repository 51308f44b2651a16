// SPDX-License-Identifier: GPL-3.0-or-later
#include "Tidyland.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tidytest {

namespace {

std::string readAll(int fd) {
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    return text;
}

// An unnamed temporary file, opened by the parent so that a child that dropped its privileges
// can still write to it.
int anonymousFile() {
    FILE* f = std::tmpfile();
    if (!f)
        throw std::runtime_error("cannot create a temporary file");
    int fd = ::dup(fileno(f));
    std::fclose(f);
    return fd;
}

pid_t spawn(const std::vector<std::string>& args, const ChildOptions& options, int outFd,
            int errFd) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TIDYLAND));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child > 0)
        return child;
    // In the child: only async-signal-safe calls until exec.
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, STDIN_FILENO);
    if (!options.stdoutPath.empty())
        outFd = ::open(options.stdoutPath.c_str(), O_WRONLY | O_APPEND);
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(errFd, STDERR_FILENO);
    // As a shell starts a command in the foreground, whatever this process does with them.
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ})
        ::signal(s, SIG_DFL);
    const auto limit = [](int resource, const std::optional<unsigned long>& bytes) {
        const rlimit l{bytes.value_or(RLIM_INFINITY), bytes.value_or(RLIM_INFINITY)};
        if (bytes && ::setrlimit(resource, &l) != 0)
            ::_exit(126);
    };
    limit(RLIMIT_FSIZE, options.fileSizeLimit);
    limit(RLIMIT_AS, options.memoryLimit);
    const std::vector<gid_t>& groups = options.groups;
    if (options.asNobody && (::setgroups(groups.size(), groups.data()) != 0 ||
                             ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

} // namespace

Outcome waitFor(const Running& child) {
    int status = 0;
    while (::waitpid(child.pid, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error("waitpid failed");
    }
    Outcome r;
    if (WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    r.out = readAll(child.outFd);
    r.err = readAll(child.errFd);
    ::close(child.outFd);
    ::close(child.errFd);
    return r;
}

Running startTidyland(const std::vector<std::string>& args, const ChildOptions& options) {
    const int outFd = anonymousFile();
    const int errFd = anonymousFile();
    return {spawn(args, options, outFd, errFd), outFd, errFd};
}

Outcome runTidyland(const std::vector<std::string>& args, const ChildOptions& options) {
    return waitFor(startTidyland(args, options));
}

bool canActAsNobody() {
    return ::geteuid() == 0;
}

std::optional<std::string> whyTidylandCannotRunAsNobody() {
    if (!canActAsNobody())
        return "only root can run tidyland as another user";
    if (runTidyland({"--version"}, ChildOptions{true, {}}).status != 0)
        return std::string("\"nobody\" cannot run ") + TIDYLAND;
    return std::nullopt;
}

} // namespace tidytest
