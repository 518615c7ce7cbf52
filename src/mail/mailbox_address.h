// Whether an address may stand in an SMTP envelope (MAIL FROM, RCPT TO) as it is.
#pragma once

#include <string_view>

namespace quillet {

// Whether `address` is a mailbox as SMTP writes it in the envelope (RFC 5321, 4.1.2), with the
// UTF-8 that SMTPUTF8 allows (RFC 6531): a local part, '@' and a domain, nothing around them.
// - The local part is atoms joined by single dots (letters, digits, the signs
//   !#$%&'*+-/=?^_`{|}~ and any byte from 0x80 up), or one quoted string, inside which a space
//   and any printable sign may stand, '"' and '\' only after a '\'.
// - The domain is labels of letters, digits, '-' and bytes from 0x80 up, joined by single dots,
//   none starting or ending with '-'; or an address literal in brackets ("[192.0.2.1]").
// - At most 64 bytes of local part and 255 of domain.
// So no '<', '>', space, comma or control character can reach an SMTP command through an
// address, except a space or a sign inside the quotes of a quoted local part.
bool IsMailboxAddress(std::string_view address);

}  // namespace quillet
