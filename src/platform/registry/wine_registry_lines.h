// The pieces of one line of a Wine registry file: escaped texts and value data (the format is
// described in wine_registry.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/registry_store.h"

namespace quillet {

// The lines of a file's text, each without its LF or CRLF.
class WineRegistryLines {
  public:
    explicit WineRegistryLines(std::string_view text) : text_(text) {}

    // The next line; false after the last one.
    bool Next(std::string_view& line);

  private:
    std::string_view text_;
    size_t pos_ = 0;
};

// The position of the first character at or after `pos` that is not white space.
size_t SkipSpaces(std::string_view line, size_t pos);

// Decodes the escaped text that starts at line[pos] up to the first unescaped `end`, appending
// its UTF-16 code units to `out`. Gives the position after `end`, or npos when the line ends
// first (a backslash at the very end included).
size_t ParseWineEscaped(std::string_view line, size_t pos, char end, std::u16string& out);

// The type and data written after the "=" of a value line, from line[pos] on. A byte list that
// ends its line with a backslash goes on with the next line of `lines`. Empty when the type is
// unknown, a text has no closing quote, a byte is over 0xFF, or a byte list is followed by
// anything but white space or a backslash (or by a backslash on the last line).
std::optional<RegistryData> ParseWineValueData(std::string_view line, size_t pos,
                                               WineRegistryLines& lines);

}  // namespace quillet
