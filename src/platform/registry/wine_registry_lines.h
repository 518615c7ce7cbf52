// The pieces of one line of a Wine registry file: escaped texts and value data (the format is
// described in wine_registry.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/registry_store.h"

namespace quillet {

// A value whose data is longer than this is passed over, as a value that does not parse; so is a
// line longer than kMaxWineLineBytes, which no such value needs. No mail setting comes near
// either, and a file however made cannot make the reader hold much more than its block.
inline constexpr size_t kMaxWineValueBytes = size_t{1} << 20;
inline constexpr size_t kMaxWineLineBytes = size_t{4} << 20;

// The lines of a file's text, each without its LF or CRLF: either a text held whole, or an
// open file read in blocks as the lines are asked for, so that only the block around the
// current line is held.
class WineRegistryLines {
  public:
    explicit WineRegistryLines(std::string_view text) : text_(text) {}
    // The lines of the open file `fd`, read from where it stands; the caller keeps it open.
    explicit WineRegistryLines(int fd) : fd_(fd) {}
    WineRegistryLines(const WineRegistryLines&) = delete;
    WineRegistryLines& operator=(const WineRegistryLines&) = delete;

    // The next line, valid until the next call; false after the last one, or when reading the
    // file failed (see failed()). A line longer than kMaxWineLineBytes is passed over.
    bool Next(std::string_view& line);
    // Makes the next call give the line the last call gave again.
    void Unread() { pos_ = line_start_; }

    // Reading the file failed; the lines given so far were read before.
    bool failed() const { return failed_; }
    // The bytes read from the file so far.
    uint64_t bytes_read() const { return bytes_read_; }

  private:
    // Reads more of the file behind the unfinished line; false at its end or on an error.
    bool Fill();

    int fd_ = -1;
    std::string buffer_;     // the file's block being read, from the current line on
    std::string_view text_;  // the whole text, or what buffer_ holds
    size_t pos_ = 0;
    size_t line_start_ = 0;
    bool ended_ = false;
    bool failed_ = false;
    uint64_t bytes_read_ = 0;
};

// The position of the first character at or after `pos` that is not white space.
size_t SkipSpaces(std::string_view line, size_t pos);

// Decodes the escaped text that starts at line[pos] up to the first unescaped `end`, appending
// its UTF-16 code units to `out`. Gives the position after `end`, or npos when the line ends
// first (a backslash at the very end included).
size_t ParseWineEscaped(std::string_view line, size_t pos, char end, std::u16string& out);

// Decodes the key path of a key line, which starts at line[pos] (after the "["), up to the
// first unescaped "]", into UTF-8 in `path` (replacing what it held). Gives the position after
// the "]", or npos when the line ends first. Plain ASCII with doubled backslashes, the common
// case, is copied straight; anything else goes through ParseWineEscaped.
size_t ParseWineKeyPath(std::string_view line, size_t pos, std::string& path);

// The type and data written after the "=" of a value line, from line[pos] on. A byte list that
// ends its line with a backslash goes on with the next line of `lines`, unless that line begins
// with "[" (a key line, left for the caller to read next). Empty when the type is
// unknown, a text has no closing quote, the data is longer than kMaxWineValueBytes (its lines
// are read all the same), a byte is over 0xFF, or a byte list is followed by
// anything but white space or a backslash (or by a backslash on the last line or before a key
// line).
std::optional<RegistryData> ParseWineValueData(std::string_view line, size_t pos,
                                               WineRegistryLines& lines);

}  // namespace quillet
