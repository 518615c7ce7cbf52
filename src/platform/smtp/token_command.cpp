#include "platform/smtp/token_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/unique_fd.h"

extern char** environ;

namespace quillet {
namespace {

constexpr size_t kMaxOutput = 64 * 1024;  // more than any token; the rest is read and dropped
constexpr size_t kMaxWords = 300;         // of the standard error, in a reason
// The longest token a login carries: libcurl's SMTP command, the token in Base64 with the
// account, holds at most 64 KiB; real tokens are a few KiB.
constexpr size_t kMaxToken = 16 * 1024;
constexpr auto kStopCheck = std::chrono::milliseconds(100);

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

bool MakePipe(Pipe& pipe) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    pipe.read.reset(fds[0]);
    pipe.write.reset(fds[1]);
    return fcntl(pipe.read.get(), F_SETFL, O_NONBLOCK) == 0;
}

// A started child, leader of its own process group. Going, it kills the group, while the
// leader (reaped or not yet) still holds the group's number, and reaps the leader.
class Child {
  public:
    explicit Child(pid_t pid) : pid_(pid) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { Reap(); }

    // Whether the leader has ended; it stays unreaped, so that its group number stays ours.
    bool Ended() const {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == pid_;
    }
    // Kills what is left of the group and reaps the leader: its wait status.
    int Reap() {
        if (pid_ > 0) {
            kill(-pid_, SIGKILL);
            while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
        return status_;
    }

  private:
    pid_t pid_;
    int status_ = 0;
};

// Reads what `fd` has now into `into` (up to kMaxOutput); false once it is at its end.
bool ReadAvailable(int fd, std::string& into) {
    char buffer[4096];
    while (true) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, std::min(static_cast<size_t>(n),
                                         kMaxOutput - std::min(kMaxOutput, into.size())));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

std::string TrimmedLine(std::string_view text) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    return std::string(line);
}

// The command's standard error as one line for a reason: its lines joined by "; ", the last
// kMaxWords characters of them; empty when it said nothing.
std::string Words(const std::string& errors) {
    std::string joined;
    size_t start = 0;
    while (start < errors.size()) {
        size_t end = errors.find('\n', start);
        end = end == std::string::npos ? errors.size() : end;
        const std::string line = TrimmedLine(std::string_view(errors).substr(start, end - start));
        if (!line.empty()) {
            joined += (joined.empty() ? "" : "; ") + line;
        }
        start = end + 1;
    }
    if (joined.size() > kMaxWords) {
        joined = "..." + joined.substr(joined.size() - kMaxWords);
    }
    return joined;
}

TokenCommandResult Failed(std::string what, const std::string& errors) {
    const std::string words = Words(errors);
    return {false, "", "the token command " + what + (words.empty() ? "" : ": " + words)};
}

}  // namespace

TokenCommandResult RunTokenCommand(const std::vector<std::string>& argv,
                                   std::chrono::milliseconds limit, const std::atomic<bool>* stop,
                                   const CancelFlag& cancel) {
    if (argv.empty()) {
        return {false, "", "the token command is empty"};
    }
    Pipe out;
    Pipe err;
    if (!MakePipe(out) || !MakePipe(err)) {
        return Failed(std::string("could not be started: ") + std::strerror(errno), "");
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.write.get(), STDERR_FILENO);
    sigset_t no_signals;
    sigset_t defaults;
    sigemptyset(&no_signals);
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGCHLD}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigmask(&attributes, &no_signals);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        return Failed(std::string("could not be started: ") + std::strerror(spawned), "");
    }
    Child child(pid);
    out.write.reset();
    err.write.reset();

    std::string output;
    std::string errors;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // Readable once the child has ended (none on a kernel without pidfds: the loop then looks
    // every kStopCheck).
    const UniqueFd ended(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    bool out_open = true;
    bool err_open = true;
    bool timed_out = false;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || (stop != nullptr && stop->load()) || cancel.IsSet()) {
            timed_out = true;
            break;
        }
        pollfd fds[3] = {{out_open ? out.read.get() : -1, POLLIN, 0},
                         {err_open ? err.read.get() : -1, POLLIN, 0},
                         {ended.get(), POLLIN, 0}};
        poll(fds, 3, static_cast<int>(std::min(left, kStopCheck).count()));
        out_open = out_open && ReadAvailable(out.read.get(), output);
        err_open = err_open && ReadAvailable(err.read.get(), errors);
        if (child.Ended()) {
            // What it wrote is in the pipes; a process it left behind is not waited for.
            ReadAvailable(out.read.get(), output);
            ReadAvailable(err.read.get(), errors);
            break;
        }
    }
    const int status = child.Reap();
    if (timed_out) {
        return Failed("gave no token within " + std::to_string((limit.count() + 999) / 1000) + " s",
                      errors);
    }
    if (!WIFEXITED(status)) {
        return Failed(
            "was ended by signal " + std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0),
            errors);
    }
    if (WEXITSTATUS(status) != 0) {
        return Failed("ended with status " + std::to_string(WEXITSTATUS(status)), errors);
    }
    std::string token = TrimmedLine(output);
    if (token.empty()) {
        return Failed("printed no token", errors);
    }
    // The command's faults like any other: the mail waits for the next attempt.
    if (token.find('\0') != std::string::npos) {
        return Failed("printed a NUL inside its token", errors);
    }
    if (token.find_first_of("\r\n") != std::string::npos) {
        return Failed("printed a carriage return (CR) inside its token", errors);
    }
    if (token.size() > kMaxToken) {
        return Failed("printed a token of " + std::to_string(token.size()) +
                          " bytes, more than a login carries (" + std::to_string(kMaxToken) + ")",
                      errors);
    }
    return {true, std::move(token), ""};
}

}  // namespace quillet
