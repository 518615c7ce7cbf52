#include "platform/qt/autostart_entry.h"

#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string_view>

#include "platform/atomic_file.h"
#include "support/trim.h"
#include "support/utf8.h"

namespace quillet {
namespace {

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

// The characters that make an argument of Exec need quotes.
bool NeedsQuotes(std::string_view argument) {
    return argument.empty() ||
           argument.find_first_of(" \t\n\r\"'\\><~|&;$*?#()`") != std::string_view::npos;
}

// One argument of Exec, quoted when it must be, with "%" doubled.
std::string ExecArgument(std::string_view argument) {
    const bool quoted = NeedsQuotes(argument);
    std::string out = quoted ? "\"" : "";
    for (char c : argument) {
        if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            out += '\\';
        }
        out += c == '%' ? "%%" : std::string(1, c);
    }
    return quoted ? out + "\"" : out;
}

// A value as the entry stores a string: backslashes and line breaks escaped. Reading undoes
// this before it takes Exec's quotes apart, so a backslash inside quotes ends up as four.
std::string StringValue(std::string_view text) {
    std::string out;
    for (char c : text) {
        const char* escape = c == '\\'   ? "\\\\"
                             : c == '\n' ? "\\n"
                             : c == '\t' ? "\\t"
                             : c == '\r' ? "\\r"
                                         : nullptr;
        if (escape != nullptr) {
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

// Why `text` cannot stand in an entry, if it cannot.
std::optional<std::string> Unwritable(const std::string& text) {
    if (MendUtf8(text) != text) {
        return "\"" + MendUtf8(text) + "\" is not UTF-8 text";
    }
    for (unsigned char c : text) {
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f) {
            return "\"" + StringValue(text) + "\" holds a control character";
        }
    }
    return std::nullopt;
}

// Makes `folder` and the folders above it that are missing, each 0700.
std::optional<std::string> MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return "cannot make " + part + ": " + std::strerror(errno);
        }
        if (slash == std::string::npos) {
            return std::nullopt;
        }
    }
}

}  // namespace

AutostartPlace AutostartPlaceFromEnvironment(std::string app_id) {
    AutostartPlace place{std::move(app_id), "", ""};
    if (const char* config = ::getenv("XDG_CONFIG_HOME")) {
        place.xdg_config_home = config;
    }
    if (const char* home = ::getenv("HOME"); home != nullptr && *home != '\0') {
        place.home = home;
    } else {
        struct passwd entry {};
        struct passwd* found = nullptr;
        std::string buffer(16384, '\0');
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_dir != nullptr) {
            place.home = found->pw_dir;
        }
    }
    return place;
}

std::string AutostartEntryPath(const AutostartPlace& place) {
    std::string config;
    if (IsAbsolute(place.xdg_config_home)) {
        config = place.xdg_config_home;
    } else if (IsAbsolute(place.home)) {
        config = place.home + "/.config";
    } else {
        return "";
    }
    return config + "/autostart/" + place.app_id + ".desktop";
}

bool HasAutostartEntry(const AutostartPlace& place) {
    std::ifstream in(AutostartEntryPath(place));
    if (!in) {
        return false;
    }
    bool in_main_group = false;
    for (std::string line; std::getline(in, line);) {
        const std::string_view text = TrimOf(line, " \t\r");
        if (text.starts_with('[')) {
            in_main_group = text == "[Desktop Entry]";
            continue;
        }
        const auto equals = text.find('=');
        if (!in_main_group || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = TrimBlanks(text.substr(0, equals));
        const std::string_view value = TrimBlanks(text.substr(equals + 1));
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> WriteAutostartEntry(const AutostartPlace& place,
                                               const std::string& executable,
                                               const std::vector<std::string>& arguments) {
    const std::string path = AutostartEntryPath(place);
    if (path.empty()) {
        return std::string("no home folder to put the autostart entry in");
    }
    if (executable.empty()) {
        return std::string("no program for the autostart entry to start");
    }
    std::vector<std::string> words{executable};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::string exec;
    for (const std::string& word : words) {
        if (auto why = Unwritable(word)) {
            return "cannot write the autostart entry: " + *why;
        }
        exec += (exec.empty() ? "" : " ") + ExecArgument(word);
    }
    const std::pair<const char*, std::string> lines[] = {
        {"Type", "Application"},
        {"Name", "Quillet"},
        {"Comment", "Show and mail the orders of your trading platform from the moment you log in"},
        {"Exec", StringValue(exec)},
        {"TryExec", StringValue(executable)},  // the entry does nothing once the program is gone
        {"Icon", place.app_id},
        {"Terminal", "false"},
        {"Categories", "Office;Finance;"},
        {"X-GNOME-Autostart-enabled", "true"},
    };
    std::string entry = "[Desktop Entry]\n";
    for (const auto& [key, value] : lines) {
        entry += std::string(key) + "=" + value + "\n";
    }
    if (auto error = MakeFolders(FolderOf(path))) {
        return error;
    }
    return WriteFileAtomically(path, entry, 0644);
}

std::optional<std::string> RemoveAutostartEntry(const AutostartPlace& place) {
    const std::string path = AutostartEntryPath(place);
    if (path.empty() || ::unlink(path.c_str()) == 0 || errno == ENOENT) {
        return std::nullopt;
    }
    return "cannot remove " + path + ": " + std::strerror(errno);
}

}  // namespace quillet
