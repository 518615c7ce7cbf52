// A copy of the real program in a temporary folder, beside a settings file in its stored form
// (every key and value in Base64) that mails to 127.0.0.1, with its control socket in the same
// folder. The program runs offscreen.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "child_process.h"
#include "control_client.h"
#include "temp_folder.h"

namespace quillet::bench {

class InstalledQuillet {
  public:
    // Installs the program built beside the benchmarks; its settings mail to `smtp_port` on
    // 127.0.0.1 from desk@example.com to two recipients, with SSL on when `ssl`. With `ca_file`
    // the program checks servers' certificates against the CAs of that file ($SSL_CERT_FILE).
    // `environment` is added to the program's.
    explicit InstalledQuillet(int smtp_port, bool ssl = false, std::string ca_file = "",
                              std::vector<std::pair<std::string, std::string>> environment = {});

    const std::string& folder() const { return folder_.path(); }
    std::string program() const { return folder_.Path("quillet"); }
    std::string socket() const { return folder_.Path("q.sock"); }

    // The environment the program runs in: offscreen, its socket in the folder.
    std::vector<std::pair<std::string, std::string>> Environment() const;
    // Starts the program (its standard error piped when asked).
    ChildProcess Start(bool pipe_stderr = false) const;
    // A connection to the program's control socket, once it listens; throws std::runtime_error
    // when it does not within `limit`.
    ControlClient Connect(std::chrono::milliseconds limit) const;

  private:
    TempFolder folder_;
    std::string ca_file_;
    std::vector<std::pair<std::string, std::string>> environment_;
};

}  // namespace quillet::bench
