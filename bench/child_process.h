// A program started by a benchmark: its own process group, standard output and standard error
// readable through pipes when asked, and killed (the whole group) when the object goes, so that
// no benchmark leaves anything running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/unique_fd.h"

namespace quillet::bench {

struct ChildOptions {
    std::vector<std::pair<std::string, std::string>> environment;  // added to the inherited one
    bool pipe_stdin = false;                                       // else /dev/null
    bool pipe_stdout = false;                                      // else inherited
    bool pipe_stderr = false;                                      // else inherited
    std::string stdout_path;  // when set and not piped, standard output goes to this new file
};

class ChildProcess {
  public:
    // Starts `argv[0]` with `argv`; throws std::runtime_error when it cannot start.
    ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    int stdin_fd() const { return stdin_.get(); }
    int stdout_fd() const { return stdout_.get(); }
    int stderr_fd() const { return stderr_.get(); }
    void CloseStdin() { stdin_.reset(); }

    // The exit status once the program has ended, waiting at most `limit`; nothing when it still
    // runs then. A program killed by a signal gives 128 + the signal.
    std::optional<int> Wait(std::chrono::milliseconds limit);

  private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    UniqueFd stdin_;
    UniqueFd stdout_;
    UniqueFd stderr_;
};

// Reads one line (without its LF) from `fd`, keeping what follows it in `buffer` for the next
// call; waits at most `limit`. Nothing at end of file, on error or when the time is up.
std::optional<std::string> ReadLine(int fd, std::string& buffer, std::chrono::milliseconds limit);

// Writes all of `text` to `fd`; false on error.
bool WriteAll(int fd, std::string_view text);

}  // namespace quillet::bench
