// The preferences that Mozilla programs keep in a profile's prefs.js.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// Preference name to value text: a string as its decoded text, a number as its digits (with
// a "-" when negative), true and false as "true" and "false".
using UserPrefs = std::map<std::string, std::string, std::less<>>;

// The `user_pref("name", value);` statements of `text`, each on one line (several may share
// one). Comments (`//`, `#` to the end of the line, `/* ... */` over any lines) are passed over.
// Strings are in double or single quotes with JavaScript's escapes: \" \' \\ \n \r \t \b \f \v \0,
// \xHH, and \uXXXX, a surrogate pair making one character and a lone surrogate giving U+FFFD; any
// other escaped character stands for itself. Text that is not well-formed UTF-8 is mended (U+FFFD).
// A statement that is malformed (an unclosed string, a missing comma, parenthesis or semicolon, a
// value that is none of the three kinds) is ignored with the rest of its line, and reading goes on
// at the next line. A name set twice keeps the later value. Never fails; the time taken grows in
// step with the text.
UserPrefs ReadUserPrefs(std::string_view text);

// The items of a comma-separated list preference ("account1,account2"), blanks trimmed, empty
// items left out.
std::vector<std::string> PrefList(std::string_view value);

}  // namespace quillet
