#include "accounts/user_prefs.h"

#include <optional>
#include <vector>

#include "support/hex_digit.h"
#include "support/trim.h"
#include "support/utf16.h"
#include "support/utf8.h"

namespace quillet {
namespace {

// A cursor over one line of prefs.js; a block comment may go on over later lines.
class Scanner {
  public:
    Scanner(std::string_view line, bool in_comment) : text_(line), in_comment_(in_comment) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    bool InComment() const { return in_comment_; }

    // Passes over blanks and comments.
    void SkipSpace() {
        while (!AtEnd()) {
            const std::string_view rest = text_.substr(pos_);
            if (in_comment_) {
                const size_t end = rest.find("*/");
                in_comment_ = end == std::string_view::npos;
                pos_ = in_comment_ ? text_.size() : pos_ + end + 2;
            } else if (rest.front() == ' ' || rest.front() == '\t' || rest.front() == '\r') {
                ++pos_;
            } else if (rest.front() == '#' || rest.starts_with("//")) {
                pos_ = text_.size();
            } else if (rest.starts_with("/*")) {
                in_comment_ = true;
                pos_ += 2;
            } else {
                return;
            }
        }
    }

    // Takes `word` (after any space) when it comes next.
    bool Take(std::string_view word) {
        SkipSpace();
        if (!text_.substr(pos_).starts_with(word)) {
            return false;
        }
        pos_ += word.size();
        return true;
    }

    // A quoted string, decoded; none when the next thing is not a whole string on this line.
    std::optional<std::string> String() {
        SkipSpace();
        if (AtEnd() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
            return std::nullopt;
        }
        const char quote = text_[pos_++];
        std::u16string units;
        std::string out;
        const auto flush = [&] {
            out += Utf16ToUtf8(units);
            units.clear();
        };
        while (!AtEnd()) {
            const char c = text_[pos_++];
            if (c == quote) {
                flush();
                return MendUtf8(out);
            }
            if (c != '\\') {
                flush();
                out.push_back(c);
                continue;
            }
            if (AtEnd()) {
                return std::nullopt;
            }
            const char e = text_[pos_++];
            if (e == 'u' || e == 'x') {
                const size_t count = e == 'u' ? 4 : 2;
                char32_t value = 0;
                for (size_t k = 0; k < count; ++k) {
                    const int digit = pos_ + k < text_.size() ? HexDigitValue(text_[pos_ + k]) : -1;
                    if (digit < 0) {
                        return std::nullopt;
                    }
                    value = value * 16 + static_cast<char32_t>(digit);
                }
                pos_ += count;
                units.push_back(static_cast<char16_t>(value));
                continue;
            }
            flush();
            switch (e) {
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'v':
                    out.push_back('\v');
                    break;
                case '0':
                    out.push_back('\0');
                    break;
                default:
                    out.push_back(e);
                    break;
            }
        }
        return std::nullopt;
    }

    // A number, true or false, or a string.
    std::optional<std::string> Value() {
        SkipSpace();
        if (AtEnd()) {
            return std::nullopt;
        }
        if (text_[pos_] == '"' || text_[pos_] == '\'') {
            return String();
        }
        for (std::string_view word : {"true", "false"}) {
            if (Take(word)) {
                return std::string(word);
            }
        }
        std::string number;
        if (text_[pos_] == '-' || text_[pos_] == '+') {
            if (text_[pos_] == '-') {
                number.push_back('-');
            }
            ++pos_;
        }
        const size_t digits = pos_;
        while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            number.push_back(text_[pos_++]);
        }
        if (pos_ == digits) {
            return std::nullopt;
        }
        return number;
    }

  private:
    std::string_view text_;
    bool in_comment_;
    size_t pos_ = 0;
};

}  // namespace

UserPrefs ReadUserPrefs(std::string_view text) {
    UserPrefs prefs;
    bool in_comment = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        Scanner in(text.substr(0, end), in_comment);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        for (in.SkipSpace(); !in.AtEnd(); in.SkipSpace()) {
            if (!in.Take("user_pref") || !in.Take("(")) {
                break;
            }
            std::optional<std::string> name = in.String();
            std::optional<std::string> value;
            if (name && in.Take(",")) {
                value = in.Value();
            }
            if (!value || !in.Take(")") || !in.Take(";")) {
                break;
            }
            prefs[std::move(*name)] = std::move(*value);
        }
        in_comment = in.InComment();
    }
    return prefs;
}

std::vector<std::string> PrefList(std::string_view value) {
    std::vector<std::string> items;
    while (!value.empty()) {
        const size_t comma = value.find(',');
        const std::string_view item = TrimBlanks(value.substr(0, comma));
        if (!item.empty()) {
            items.emplace_back(item);
        }
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    }
    return items;
}

}  // namespace quillet
