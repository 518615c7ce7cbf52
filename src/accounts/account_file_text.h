// The text of a Windows Mail account file, as the element search reads it.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The UTF-8 text of the file's `bytes`, its lines joined with nothing between them. The bytes
// are decoded by their byte-order mark: EF BB BF UTF-8 (a malformed byte gives U+FFFD), FF FE
// UTF-16LE, FE FF UTF-16BE (an odd last byte is dropped, a lone surrogate gives U+FFFD);
// without a mark they are Windows-1252. A line ends at a CR or a CR LF, and neither is kept;
// an LF that does not follow a CR stays in the text. Never fails.
std::string AccountFileText(std::string_view bytes);

}  // namespace quillet
