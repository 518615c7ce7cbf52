#include "platform/registry/wine_registry_lines.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "support/hex_digit.h"
#include "support/registry_value.h"
#include "support/utf16.h"
#include "support/utf8.h"

namespace quillet {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The value of each byte as a hexadecimal digit, -1 for the other bytes.
constexpr std::array<int8_t, 256> kHexDigits = [] {
    std::array<int8_t, 256> digits{};
    for (size_t byte = 0; byte < digits.size(); ++byte) {
        digits[byte] = static_cast<int8_t>(HexDigitValue(static_cast<char>(byte)));
    }
    return digits;
}();

int HexDigit(char c) {
    return kHexDigits[static_cast<uint8_t>(c)];
}

// Appends the character that starts at line[pos] and gives the number of bytes it takes: a
// well-formed UTF-8 sequence gives its character, any other byte the Latin-1 one.
size_t AppendSourceCharacter(std::string_view line, size_t pos, std::u16string& out) {
    const auto b0 = static_cast<uint8_t>(line[pos]);
    const size_t length = b0 < 0x80 ? 1 : Utf8SequenceLength(line.substr(pos));
    if (length <= 1) {
        out.push_back(b0);
        return 1;
    }
    char32_t code = b0 & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        code = (code << 6) | (static_cast<uint8_t>(line[pos + i]) & 0x3F);
    }
    AppendUtf16(out, code);
    return length;
}

bool StartsWith(std::string_view line, size_t pos, std::string_view tag) {
    return line.substr(pos, tag.size()) == tag;
}

// Reads a byte list from line[pos] on, going on to the next line after a trailing backslash.
bool ParseHexList(std::string_view line, size_t pos, WineRegistryLines& lines, std::string& out) {
    bool too_long = false;
    for (;;) {
        // Wine writes "xx," throughout; the general loop below takes every other form.
        while (pos + 2 < line.size() && line[pos + 2] == ',' && HexDigit(line[pos]) >= 0 &&
               HexDigit(line[pos + 1]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(line[pos]) * 16 + HexDigit(line[pos + 1])));
            pos += 3;
        }
        while (pos < line.size() && HexDigit(line[pos]) >= 0) {
            unsigned value = 0;
            while (pos < line.size() && HexDigit(line[pos]) >= 0) {
                value = value * 16 + static_cast<unsigned>(HexDigit(line[pos++]));
                if (value > 0xFF) {
                    return false;
                }
            }
            out.push_back(static_cast<char>(value));
            pos = SkipSpaces(line, pos);
            if (pos < line.size() && line[pos] == ',') {
                pos = SkipSpaces(line, pos + 1);
            }
        }
        pos = SkipSpaces(line, pos);
        if (out.size() > kMaxWineValueBytes) {
            too_long = true;  // its lines are still read, so that the next one is in step
            out.clear();
        }
        if (pos == line.size()) {
            return !too_long;
        }
        if (line[pos] != '\\' || !lines.Next(line)) {
            return false;
        }
        pos = SkipSpaces(line, 0);
        if (pos < line.size() && line[pos] == '[') {
            lines.Unread();  // a key line is never part of a value
            return false;
        }
    }
}

}  // namespace

size_t SkipSpaces(std::string_view line, size_t pos) {
    while (pos < line.size() && IsSpace(line[pos])) {
        ++pos;
    }
    return pos;
}

size_t ParseWineEscaped(std::string_view line, size_t pos, char end, std::u16string& out) {
    while (pos < line.size() && line[pos] != end) {
        if (line[pos] != '\\') {
            pos += AppendSourceCharacter(line, pos, out);
            continue;
        }
        if (++pos >= line.size()) {
            return std::string_view::npos;
        }
        const char c = line[pos];
        static constexpr std::string_view kLetters = "abefnrtv";
        static constexpr char16_t kControls[] = {'\a', '\b', 0x1B, '\f', '\n', '\r', '\t', '\v'};
        if (const size_t letter = kLetters.find(c); letter != std::string_view::npos) {
            out.push_back(kControls[letter]);
            ++pos;
        } else if (c == 'x' && pos + 1 < line.size() && HexDigit(line[pos + 1]) >= 0) {
            char16_t unit = 0;
            ++pos;
            for (int i = 0; i < 4 && pos < line.size() && HexDigit(line[pos]) >= 0; ++i) {
                unit = static_cast<char16_t>(unit * 16 + HexDigit(line[pos++]));
            }
            out.push_back(unit);
        } else if (c >= '0' && c <= '7') {
            char16_t unit = 0;
            for (int i = 0; i < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7';
                 ++i) {
                unit = static_cast<char16_t>(unit * 8 + (line[pos++] - '0'));
            }
            out.push_back(unit);
        } else {
            pos += AppendSourceCharacter(line, pos, out);
        }
    }
    return pos < line.size() ? pos + 1 : std::string_view::npos;
}

std::optional<RegistryData> ParseWineValueData(std::string_view line, size_t pos,
                                               WineRegistryLines& lines) {
    struct TextTag {
        std::string_view tag;
        uint32_t type;
    };
    static constexpr TextTag kTextTags[] = {{"\"", REG_SZ},
                                            {"str:\"", REG_SZ},
                                            {"str(2):\"", REG_EXPAND_SZ},
                                            {"str(7):\"", REG_MULTI_SZ}};
    for (const TextTag& text : kTextTags) {
        if (StartsWith(line, pos, text.tag)) {
            std::u16string units;
            if (ParseWineEscaped(line, pos + text.tag.size(), '"', units) ==
                std::string_view::npos) {
                return std::nullopt;
            }
            units.push_back(0);
            if (units.size() * 2 > kMaxWineValueBytes) {
                return std::nullopt;
            }
            return RegistryData{text.type, Utf16LeBytes(units)};
        }
    }
    if (StartsWith(line, pos, "dword:")) {
        pos = SkipSpaces(line, pos + 6);
        uint32_t number = 0;
        for (; pos < line.size() && HexDigit(line[pos]) >= 0; ++pos) {
            number = number * 16 + static_cast<uint32_t>(HexDigit(line[pos]));
        }
        std::string bytes(4, '\0');
        for (size_t i = 0; i < 4; ++i) {
            bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
        }
        return RegistryData{REG_DWORD, bytes};
    }
    RegistryData data;
    if (StartsWith(line, pos, "hex:")) {
        data.type = REG_BINARY;
        pos += 4;
    } else if (StartsWith(line, pos, "hex(")) {
        pos += 4;
        const size_t digits_start = pos;
        for (; pos < line.size() && HexDigit(line[pos]) >= 0; ++pos) {
            data.type = data.type * 16 + static_cast<uint32_t>(HexDigit(line[pos]));
        }
        if (pos == digits_start || !StartsWith(line, pos, "):")) {
            return std::nullopt;
        }
        pos += 2;
    } else {
        return std::nullopt;
    }
    if (!ParseHexList(line, pos, lines, data.bytes)) {
        return std::nullopt;
    }
    return data;
}

size_t ParseWineKeyPath(std::string_view line, size_t pos, std::string& path) {
    path.clear();
    for (size_t at = pos;;) {
        size_t run = at;  // the plain characters from `at` on are copied at once
        while (run < line.size() && line[run] != ']' && line[run] != '\\' &&
               static_cast<uint8_t>(line[run]) < 0x80) {
            ++run;
        }
        path.append(line, at, run - at);
        if (run < line.size() && line[run] == ']') {
            return run + 1;
        }
        if (run + 1 >= line.size() || line[run] != '\\' || line[run + 1] != '\\') {
            break;  // another escape, a character beyond ASCII, or no "]"
        }
        path.push_back('\\');
        at = run + 2;
    }
    std::u16string units;
    const size_t end = ParseWineEscaped(line, pos, ']', units);
    path = Utf16ToUtf8(units);
    return end;
}

bool WineRegistryLines::Next(std::string_view& line) {
    constexpr size_t npos = std::string_view::npos;
    size_t end = npos;
    for (;;) {
        while ((end = text_.find('\n', pos_)) == npos && text_.size() - pos_ <= kMaxWineLineBytes &&
               Fill()) {
        }
        const size_t length = (end == npos ? text_.size() : end) - pos_;
        if (length <= kMaxWineLineBytes) {
            break;
        }
        // Too long to be read: passed over to its end, without holding it.
        while (end == npos) {
            pos_ = text_.size();
            if (!Fill()) {
                return false;
            }
            end = text_.find('\n', pos_);
        }
        pos_ = end + 1;
    }
    if (pos_ >= text_.size()) {
        return false;
    }
    if (end == std::string_view::npos) {
        end = text_.size();
    }
    line_start_ = pos_;
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    pos_ = end + 1;
    return true;
}

bool WineRegistryLines::Fill() {
    constexpr size_t kBlock = size_t{1} << 18;
    if (fd_ < 0 || ended_) {
        return false;
    }
    // The unfinished line moves to the front; the buffer grows only for a line that leaves
    // little room behind it.
    const size_t kept = text_.size() - pos_;
    std::memmove(buffer_.data(), buffer_.data() + pos_, kept);
    if (buffer_.size() - kept < kBlock / 4) {
        buffer_.resize(std::max(kBlock, 2 * buffer_.size()));
    }
    pos_ = line_start_ = 0;
    text_ = std::string_view(buffer_.data(), kept);
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data() + kept, buffer_.size() - kept);
        if (got > 0) {
            bytes_read_ += static_cast<uint64_t>(got);
            text_ = std::string_view(buffer_.data(), kept + static_cast<size_t>(got));
            return true;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        failed_ = got < 0;
        ended_ = true;
        if (failed_) {
            text_ = std::string_view();  // no line is taken from a file that could not be read
        }
        return false;
    }
}

}  // namespace quillet
