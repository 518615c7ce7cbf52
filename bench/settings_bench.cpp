// bench-settings [RUNS]
//
// A settings file of 10,000 recipients (the most the program keeps), written through IniFile
// in the stored form (every key and value in the file's Base64), against the same settings with
// one recipient:
//   - start-up: the installed program started on each file in turn, timed from the moment
//     before it is spawned to the reply to a Status sent as soon as its socket takes
//     connections (the settings are loaded by then); RUNS of each, alternating, after one of
//     each not counted, median;
//   - the load alone, in process: the file read by IniFile and every setting and recipient
//     looked up and decoded, as the setup dialog's load does; median of RUNS.
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_table.h"
#include "installed_quillet.h"
#include "platform/profile/ini_file.h"
#include "support/base64.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultRuns = 10;
constexpr int kRecipients = 10'000;
constexpr double kGoalLoadMs = 500;
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr std::string_view kSection = "Quillet";

std::string Recipient(int number) {
    const std::string n = std::to_string(10000 + number);
    return "desk.recipient.number." + n + "@notifications.branch-office-" + n + ".example.com";
}

void Set(IniFile& file, const std::string& key, const std::string& value) {
    file.SetString(kSection, Base64EncodeForINI(key), Base64EncodeForINI(value));
}

// Replaces the recipients of the settings file at `path` with `count` of them.
void WriteRecipients(const std::string& path, int count) {
    IniFile file(path);
    if (const Result<> loaded = file.Load(); !loaded.ok()) {
        throw std::runtime_error(loaded.error().message);
    }
    for (int i = 1; i <= 2; ++i) {
        file.SetString(kSection, Base64EncodeForINI("File" + std::to_string(i)), std::nullopt);
    }
    Set(file, "lstSendTo.ListCount", std::to_string(count));
    for (int i = 1; i <= count; ++i) {
        Set(file, "File" + std::to_string(i), Recipient(i));
    }
    if (const Result<> saved = file.Save(); !saved.ok()) {
        throw std::runtime_error(saved.error().message);
    }
}

// Milliseconds from spawning the program to its answer to Status; with `shutdown_ms`, also
// from sending Shutdown to the program's end (it saves the settings file on the way).
double StartToStatus(const InstalledQuillet& quillet, double* shutdown_ms = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    ChildProcess program = quillet.Start();
    ControlClient client = quillet.Connect(kStartLimit);
    const auto reply = client.Exchange(R"({"event":"Status"})", kStartLimit);
    const double ms = Milliseconds(std::chrono::steady_clock::now() - start);
    if (!reply || reply->find("\"ok\":true") == std::string::npos) {
        throw std::runtime_error("Status was not answered: " + reply.value_or(""));
    }
    const auto stop = std::chrono::steady_clock::now();
    client.Exchange(R"({"event":"Shutdown"})", std::chrono::seconds(60));
    if (program.Wait(std::chrono::seconds(60)) != 0) {
        throw std::runtime_error("the program did not end cleanly after Shutdown");
    }
    if (shutdown_ms != nullptr) {
        *shutdown_ms = Milliseconds(std::chrono::steady_clock::now() - stop);
    }
    return ms;
}

// Milliseconds to load the file and read every setting and recipient; the recipients found.
std::pair<double, int> LoadInProcess(const std::string& path) {
    static const char* const kKeys[] = {"txtDisplayName", "txtEmail",       "txtSMTPserver",
                                        "txtPort",        "chkSSL",         "chkAuthRequired",
                                        "txtAccountName", "txtPassword",    "chkHttp",
                                        "txtHttpPort",    "txtTokenCommand"};
    const auto read = [](const IniFile& file, const std::string& key) {
        return Base64DecodeFromINI(file.GetString(kSection, Base64EncodeForINI(key), ""));
    };
    const auto start = std::chrono::steady_clock::now();
    IniFile file(path);
    if (const Result<> loaded = file.Load(); !loaded.ok()) {
        throw std::runtime_error(loaded.error().message);
    }
    size_t bytes = 0;
    for (const char* key : kKeys) {
        bytes += read(file, key).size();
    }
    const int count = std::atoi(read(file, "lstSendTo.ListCount").c_str());
    std::vector<std::string> recipients;
    for (int i = 1; i <= count; ++i) {
        recipients.push_back(read(file, "File" + std::to_string(i)));
    }
    const double ms = Milliseconds(std::chrono::steady_clock::now() - start);
    if (bytes == 0 || recipients.empty() || recipients.back() != Recipient(count)) {
        throw std::runtime_error("the settings did not read back");
    }
    return {ms, count};
}

int Run(int runs) {
    // The settings name a server; nothing is mailed here.
    const InstalledQuillet one(25), many(25);
    const std::string one_file = one.folder() + "/quillet.ini";
    const std::string many_file = many.folder() + "/quillet.ini";
    WriteRecipients(one_file, 1);
    WriteRecipients(many_file, kRecipients);
    const double many_mb = static_cast<double>(std::filesystem::file_size(many_file)) / 1e6;

    double one_stop_ms = 0, many_stop_ms = 0;
    StartToStatus(one, &one_stop_ms);
    StartToStatus(many, &many_stop_ms);
    std::vector<double> one_ms, many_ms;
    for (int run = 0; run < runs; ++run) {
        if (run % 2 == 0) {
            one_ms.push_back(StartToStatus(one));
            many_ms.push_back(StartToStatus(many));
        } else {
            many_ms.push_back(StartToStatus(many));
            one_ms.push_back(StartToStatus(one));
        }
    }
    std::vector<double> load_ms, load_one_ms;
    for (int run = 0; run < runs; ++run) {
        const auto [ms, count] = LoadInProcess(many_file);
        if (count != kRecipients) {
            throw std::runtime_error("the file holds " + std::to_string(count) + " recipients");
        }
        load_ms.push_back(ms);
        load_one_ms.push_back(LoadInProcess(one_file).first);
    }

    const std::string of = " (median of " + std::to_string(runs) + ")";
    const std::string n = std::to_string(kRecipients);
    const double ratio = Median(many_ms) / Median(one_ms);
    PrintRow("Settings: start to Status answered, " + n + " recipients (" +
                 Fixed(many_mb, 2, "MB") + ") / one recipient" + of,
             Fixed(Median(many_ms), 0, "ms") + " / " + Fixed(Median(one_ms), 0, "ms") + " = " +
                 Fixed(ratio, 2, "x"));
    PrintRow("Settings: start to Status answered, " + n + " recipients" + of,
             Fixed(Median(many_ms), 0, "ms"), "≤ " + Fixed(kGoalLoadMs, 0, "ms"),
             Median(many_ms) <= kGoalLoadMs);
    PrintRow("Settings: Shutdown to the program's end, " + n + " recipients / one (once)",
             Fixed(many_stop_ms, 0, "ms") + " / " + Fixed(one_stop_ms, 0, "ms"));
    PrintRow("Settings: the load alone in process, " + n + " recipients / one" + of,
             Fixed(Median(load_ms), 1, "ms") + " / " + Fixed(Median(load_one_ms), 2, "ms"),
             "≤ " + Fixed(kGoalLoadMs, 0, "ms"), Median(load_ms) <= kGoalLoadMs);
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    return quillet::bench::BenchMain("bench-settings", argc, argv, quillet::bench::kDefaultRuns,
                                     &quillet::bench::Run);
}
