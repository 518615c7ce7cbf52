#include "accounts/key_file.h"

#include "support/fold_case.h"
#include "support/hex_digit.h"
#include "support/trim.h"
#include "support/utf8.h"

namespace quillet {
namespace {

std::string Unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out.push_back(value[i]);
            continue;
        }
        const char next = value[i + 1];
        const char* simple = next == 's'    ? " "
                             : next == 't'  ? "\t"
                             : next == 'n'  ? "\n"
                             : next == 'r'  ? "\r"
                             : next == '\\' ? "\\"
                                            : nullptr;
        if (simple != nullptr) {
            out += simple;
            ++i;
        } else if (next == 'x' && i + 3 < value.size() && HexDigitValue(value[i + 2]) >= 0 &&
                   HexDigitValue(value[i + 3]) >= 0) {
            out.push_back(
                static_cast<char>(HexDigitValue(value[i + 2]) * 16 + HexDigitValue(value[i + 3])));
            i += 3;
        } else {
            out.push_back('\\');
        }
    }
    return MendUtf8(out);  // a \xHH may have made a malformed sequence
}

// The key without KDE's flags; empty for a translation.
std::string_view PlainKey(std::string_view key) {
    if (key.empty() || key.back() != ']') {
        return key;
    }
    const size_t open = key.rfind('[');
    if (open == std::string_view::npos || open + 1 >= key.size() || key[open + 1] != '$') {
        return {};
    }
    return TrimBlanks(key.substr(0, open));
}

}  // namespace

KeyFile KeyFile::Parse(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    const std::string text = MendUtf8(bytes);
    KeyFile file;
    Entries* group = nullptr;
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        line = TrimBlanks(TrimOf(TrimBlanks(line), "\r"));
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            group = nullptr;
            if (line.back() == ']') {
                const std::string name(line.substr(1, line.size() - 2));
                auto [it, added] = file.groups_.try_emplace(name);
                if (added) {
                    file.order_.push_back(name);
                }
                group = &it->second;
            }
            continue;
        }
        const size_t equals = line.find('=');
        if (group == nullptr || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = PlainKey(TrimBlanks(line.substr(0, equals)));
        if (!key.empty()) {
            (*group)[std::string(key)] = Unescape(TrimBlanks(line.substr(equals + 1)));
        }
    }
    return file;
}

const std::string& KeyFile::Value(std::string_view group, std::string_view key) const {
    const auto g = groups_.find(group);
    if (g == groups_.end()) {
        return empty_;
    }
    const auto entry = g->second.find(key);
    return entry == g->second.end() ? empty_ : entry->second;
}

bool KeyFileFlag(std::string_view value) {
    const std::string folded = FoldCase(TrimBlanks(value));
    return folded == "TRUE" || folded == "YES" || folded == "ON" || folded == "1";
}

}  // namespace quillet
