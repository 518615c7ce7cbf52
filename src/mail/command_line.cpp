#include "mail/command_line.h"

#include <string_view>

namespace quillet {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

}  // namespace

Result<std::vector<std::string>> SplitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;  // a word has begun, even an empty one ('')
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (IsBlank(c)) {
            if (in_word) {
                words.push_back(std::move(word));
                word.clear();
                in_word = false;
            }
            continue;
        }
        in_word = true;
        if (c == '\\') {
            if (++i == line.size()) {
                return Fail("a backslash ends the command line");
            }
            if (line[i] != '\n') {
                word.push_back(line[i]);
            }
        } else if (c == '\'') {
            const size_t close = line.find('\'', i + 1);
            if (close == std::string::npos) {
                return Fail("a single quote is left open");
            }
            word.append(line, i + 1, close - i - 1);
            i = close;
        } else if (c == '"') {
            for (++i;; ++i) {
                if (i >= line.size()) {
                    return Fail("a double quote is left open");
                }
                if (line[i] == '"') {
                    break;
                }
                if (line[i] == '\\' && i + 1 < line.size() &&
                    std::string_view("$`\"\\\n").find(line[i + 1]) != std::string_view::npos) {
                    ++i;
                    if (line[i] == '\n') {
                        continue;
                    }
                }
                word.push_back(line[i]);
            }
        } else {
            word.push_back(c);
        }
    }
    if (in_word) {
        words.push_back(std::move(word));
    }
    if (words.empty()) {
        return Fail("the command line names no program");
    }
    return words;
}

}  // namespace quillet
