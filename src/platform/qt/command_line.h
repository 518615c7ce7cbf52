// The program's command line: quillet [--socket PATH] [--settings FILE] [--fix-config FILE]
// [--http PORT] [Qt's options], or --http-token, --history [--since DAY] [--until DAY] [--csv],
// --keep-history DAYS, --help or --version.
#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quillet {

struct CommandLine {
    std::string socket;             // --socket PATH; empty when not given
    std::string settings;           // --settings FILE; empty when not given
    std::string fix_config;         // --fix-config FILE; empty when not given
    std::optional<int> http_port;   // --http PORT (1 to 65535)
    bool print_http_token = false;  // --http-token: print the endpoint's token and end
    // --history: print the journal's events and end; --since and --until (local days, both
    // included) bound them; --csv prints CSV in place of tab-separated lines.
    bool print_history = false;
    std::optional<std::pair<int64_t, int64_t>> history_span;  // UTC milliseconds, end excluded
    bool history_csv = false;
    std::optional<int> keep_history_days;  // --keep-history DAYS (1 to 36500): store it and end
    // Set when the program ends here with this status: 0 after --help or --version, whose text
    // is in `output` for standard output; 2 for a command line it cannot take, with the reason
    // and the usage in `output` for standard error.
    std::optional<int> exit_status;
    std::string output;
};

// Reads `arguments` (the program's name first), before QApplication has taken Qt's own options
// out of them (-platform offscreen, -style=fusion...) or after: those options and their values
// are passed over, so that they never change what the command line asks for. Fails (status 2)
// on an unknown option or argument, a value out of range, a day that is not one, or --csv,
// --since or --until without --history. Never throws.
CommandLine ReadCommandLine(const QStringList& arguments, const QString& version);

// Writes `command.output` where it belongs and gives the exit status; for a CommandLine with
// one.
int EndWith(const CommandLine& command);

// The program's own arguments, before QApplication takes Qt's options out of them.
QStringList RawArguments(int argc, const char* const* argv);

}  // namespace quillet
