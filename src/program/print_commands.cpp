#include "program/print_commands.h"

#include <QCoreApplication>
#include <filesystem>
#include <iostream>
#include <optional>

#include "app/shell/program_files.h"
#include "platform/history/history_export.h"
#include "platform/history/journal_reader.h"
#include "platform/http/http_token.h"
#include "platform/profile/history_setting.h"
#include "platform/profile/ini_file.h"
#include "program/program_places.h"

namespace quillet {
namespace {

// The files of a command that needs no display, from the settings file: --settings, or where
// this program keeps it; nothing, once standard error says why, when there is none.
std::optional<RunFiles> CommandFiles(const std::string& settings_option) {
    std::error_code error;
    const auto executable = std::filesystem::canonical("/proc/self/exe", error);
    const Result<ProgramPlaces> places = FindProgramPlaces(executable, settings_option);
    if (!places) {
        std::cerr << "quillet: " << places.error().message
                  << "; name a settings file with --settings\n";
        return std::nullopt;
    }
    return places->files;
}

}  // namespace

int PrintHttpToken(const std::string& settings_option) {
    const std::optional<RunFiles> files = CommandFiles(settings_option);
    if (!files) {
        return 1;
    }
    const HttpToken token = ReadOrMakeHttpToken(files->http_token);
    if (!token.error.empty()) {
        std::cerr << "quillet: " << token.error << '\n';
        return 1;
    }
    if (!token.notice.empty()) {
        std::cerr << "quillet: " << token.notice << '\n';
    }
    std::cout << token.token << '\n';
    return 0;
}

int KeepHistory(const std::string& settings_option, int days) {
    const std::optional<RunFiles> files = CommandFiles(settings_option);
    if (!files) {
        return 1;
    }
    IniFile settings_file(files->settings);
    if (const Result<> saved = WriteHistoryDays(settings_file, days); !saved.ok()) {
        std::cerr << "quillet: the setting could not be saved: " << saved.error().message << '\n';
        return 1;
    }
    std::cout << "The journal keeps " << days << (days == 1 ? " day" : " days")
              << " of order events from the next start on.\n";
    return 0;
}

int PrintHistory(int argc, char* argv[], const CommandLine& command) {
    QCoreApplication core(argc, argv);  // for Qt SQL's driver
    const std::optional<RunFiles> files = CommandFiles(command.settings);
    if (!files) {
        return 1;
    }
    JournalReader journal(QString::fromStdString(files->journal));
    HistoryFilter filter;
    filter.descending = false;
    if (command.history_span) {
        filter.span = TimeSpan{command.history_span->first, command.history_span->second};
    }
    const std::optional<std::string> text =
        HistoryText(journal, filter, command.history_csv ? ',' : '\t');
    if (!text) {
        std::cerr << "quillet: the journal cannot be read: " << journal.error().toStdString()
                  << '\n';
        return 1;
    }
    std::cout << *text << std::flush;
    return 0;
}

}  // namespace quillet
