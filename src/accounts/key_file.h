// The "key file" format in which GLib programs (Evolution, GNOME Online Accounts), KDE programs
// (KMail) and Mozilla's profiles.ini keep their settings: groups in "[Name]" lines, each with
// "key=value" lines.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class KeyFile {
  public:
    // Reads `text` (UTF-8; a leading byte-order mark is passed over, malformed bytes become
    // U+FFFD). Lines end in LF or CR LF. Blanks (spaces and tabs) around keys and values are
    // trimmed. What is not understood is ignored, never fatal:
    // - blank lines, and comments: lines whose first non-blank is "#" or ";";
    // - a "[...]" line names a group (everything between the first "[" and the last "]"); a
    //   line that begins with "[" but does not end in "]" is malformed, and the entries after
    //   it are ignored up to the next good group line;
    // - an entry is "key=value", split at the first "="; a line without "=", with an empty
    //   key, or before the first group is ignored;
    // - a key ending in "[...]" is a translation ("Name[de]") and is ignored, unless the
    //   brackets hold KDE's flags ("host[$e]"), which are dropped from the key;
    // - escapes in values: \s space, \t, \n, \r, \\ and \xHH (two hexadecimal digits, KDE's
    //   form); any other backslash stays as written.
    // A group that appears twice is one group, at the place it first appeared; a key that
    // appears twice in a group keeps the later value. Never fails.
    static KeyFile Parse(std::string_view text);

    // The group names in order of first appearance.
    const std::vector<std::string>& Groups() const { return order_; }
    bool HasGroup(std::string_view group) const { return groups_.contains(group); }

    // The value of `key` in `group` (both matched exactly); empty when either is missing. The
    // reference holds as long as the file.
    const std::string& Value(std::string_view group, std::string_view key) const;

  private:
    using Entries = std::map<std::string, std::string, std::less<>>;
    std::map<std::string, Entries, std::less<>> groups_;
    std::vector<std::string> order_;
    std::string empty_;
};

// True for "true", "yes", "on" and "1" (ignoring letter case and blanks), as GLib and KDE read
// a Boolean value; false for anything else, an empty value included.
bool KeyFileFlag(std::string_view value);

}  // namespace quillet
