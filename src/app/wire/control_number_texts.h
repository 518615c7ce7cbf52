// The numbers of a request line as they are written, for the fields that keep a number as given
// (DecimalQuantity): the JSON document the full reader builds keeps only their values.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace quillet {

// By field name, the text of each number given directly in the line's top-level object ("40",
// "12.50", "1e3", "-0"), as written; a field given twice keeps its first. Other values, and the
// numbers inside nested objects and arrays, are not named. Empty when the line is not valid
// JSON. Never throws.
std::map<std::string, std::string, std::less<>> TopLevelNumberTexts(std::string_view line);

}  // namespace quillet
