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
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(errFd, STDERR_FILENO);
    if (options.fileSizeLimit) {
        // An ignored signal stays ignored across exec: the write fails with EFBIG instead.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(126);
    }
    if (options.asNobody &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

} // namespace

Outcome waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error("waitpid failed");
    }
    Outcome r;
    if (WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    return r;
}

Outcome runTidyland(const std::vector<std::string>& args, const ChildOptions& options) {
    const int outFd = anonymousFile();
    const int errFd = anonymousFile();
    Outcome r = waitFor(spawn(args, options, outFd, errFd));
    r.out = readAll(outFd);
    r.err = readAll(errFd);
    ::close(outFd);
    ::close(errFd);
    return r;
}

pid_t startTidyland(const std::vector<std::string>& args) {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t child = spawn(args, {}, null, null);
    ::close(null);
    return child;
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
