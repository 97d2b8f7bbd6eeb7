#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;

struct FileActions {
    posix_spawn_file_actions_t actions;
    FileActions() { posix_spawn_file_actions_init(&actions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
};

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

ChildProcess Failed(std::string why) {
    ChildProcess result;
    result.why = std::move(why);
    return result;
}

// Reads until end of output; false (with why) when a limit is reached first.
bool ReadAll(int fd, Clock::time_point deadline, size_t maxOutput, ChildProcess& result) {
    char buffer[16 << 10];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return (result.why = "timed out"), false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return true;
        if (result.output.size() + static_cast<size_t>(got) > maxOutput)
            return (result.why = "printed more than " + std::to_string(maxOutput) + " bytes"), false;
        result.output.append(buffer, static_cast<size_t>(got));
    }
}

// Whether the child exited by the deadline; it may close its output and go on.
bool WaitUntil(pid_t pid, Clock::time_point deadline, int& status) {
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return true;
        if (done < 0 && errno != EINTR) return false;
        if (Clock::now() >= deadline) return false;
        ::usleep(5000);
    }
}

}  // namespace

ChildProcess ChildProcess::Run(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                               size_t maxOutput) {
    if (argv.empty()) return Failed("nothing to run");
    Fd readEnd, writeEnd;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return Failed("no pipe");
    readEnd.fd = fds[0];
    writeEnd.fd = fds[1];
    FileActions files;
    posix_spawn_file_actions_addopen(&files.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&files.actions, writeEnd.fd, 1);
    posix_spawn_file_actions_addopen(&files.actions, 2, "/dev/null", O_WRONLY, 0);
    // Sockets and files of other requests stay in the service.
    posix_spawn_file_actions_addclosefrom_np(&files.actions, 3);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    char locale[] = "LC_ALL=C";
    char* environment[] = {locale, nullptr};
    pid_t pid = 0;
    const int started = ::posix_spawn(&pid, argv[0].c_str(), &files.actions, nullptr, args.data(), environment);
    ::close(writeEnd.fd);
    writeEnd.fd = -1;
    if (started != 0) return Failed("cannot start " + argv[0]);

    ChildProcess result;
    const auto deadline = Clock::now() + limit;
    const bool read = ReadAll(readEnd.fd, deadline, maxOutput, result);
    int status = 0;
    if (!read || !WaitUntil(pid, deadline, status)) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (result.why.empty()) result.why = "timed out";
        result.output.clear();
        return result;
    }
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!result.ok) result.why = "failed";
    return result;
}
