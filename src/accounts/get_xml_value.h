// The one piece of XML handling the Windows Mail accounts need: an element's text by name.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The characters between the first ">" at or after the first occurrence of `key` in `xml`
// (found ignoring case, anywhere: inside a longer name, an attribute or text too) and the
// first "<" after that ">", with their character references and predefined entities decoded
// (DecodeXmlReferences; an account named "Anna & Co" is stored as "Anna &amp; Co") and nothing
// trimmed. Empty text when `key` does not occur, no ">" or no "<" follows, or the "<" comes right
// after the ">". Never fails.
std::string GetXMLvalue(std::string_view xml, std::string_view key);

}  // namespace quillet
