// Text out of the hexadecimal form of a registry binary value that holds UTF-16 text.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Reads `bytear` four characters at a time (up to three trailing characters are ignored): the
// first two digits are the low byte, the last two the high byte of one UTF-16 code unit, each
// pair read as hexadecimal up to its first other character (a pair that begins with one reads
// as 0). Zero units are dropped wherever they stand. A unit up to 255 is the Windows-1252
// character of that byte; a larger unit is the UTF-16 character, a surrogate pair giving one
// character and a surrogate without its partner U+FFFD. "4F0075007400000000" gives "Out".
// Never fails.
std::string Bytes2String(std::string_view bytear);

}  // namespace quillet
