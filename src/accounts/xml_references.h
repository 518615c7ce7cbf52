// Character references and the predefined entities of XML text.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// `text` (UTF-8) with &amp; &lt; &gt; &quot; &apos; and numeric references (&#229; &#xE5;,
// leading zeros allowed) replaced by their characters. A reference that is
// unknown or malformed (no ";", no digits, "&#X", a character XML does not allow: NUL and other
// control characters but tab, line feed and carriage return, surrogates, noncharacters FFFE
// and FFFF, and anything above U+10FFFF) stays as written, and so does a lone "&". Decoding is
// done in one pass, so "&amp;lt;" gives "&lt;". The result is never longer than `text`.
// Never fails.
std::string DecodeXmlReferences(std::string_view text);

}  // namespace quillet
