// A command line taken apart into the program and its arguments, as a POSIX shell would split
// a simple command, so that it can be run without one.
#pragma once

#include <string>
#include <vector>

#include "support/result.h"

namespace quillet {

// The words of `line`: split at blanks (space, tab, line break) outside quotes; 'single
// quotes' keep everything up to the next single quote as it stands; "double quotes" keep it
// but for a backslash before $, `, ", \ or a line break, which then stands for that
// character alone; outside quotes a backslash keeps the next character as it is (a backslash
// before a line break removes both). Quotes next to other text join it in one word, and ''
// is an empty word. No expansion of any kind: $HOME, ~ and * stand as written.
// Fails for a quote left open, a backslash at the very end, or a line with no word at all
// ("a single quote is left open").
Result<std::vector<std::string>> SplitCommandLine(const std::string& line);

}  // namespace quillet
