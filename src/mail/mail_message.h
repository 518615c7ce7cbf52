// The text of one outgoing message and the addresses of its envelope.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// A file sent with a message: its name, its MIME type ("text/csv") and its bytes (UTF-8 text).
struct MailAttachment {
    std::string name;
    std::string content_type;
    std::string data;

    bool operator==(const MailAttachment&) const = default;
};

struct MailContent {
    std::string sender_name;     // shown as the From name, blanks kept
    std::string sender_address;  // the From address
    std::string subject;
    std::string body;  // plain text, any line ends
    // Not empty: the message is multipart/mixed, the body its first part and this the second.
    std::optional<MailAttachment> attachment = std::nullopt;
    // Not empty: the Message-ID ("<...@domain>") of the mail this one follows, the first of its
    // thread, named in its In-Reply-To and References headers.
    std::string in_reply_to = {};
};

// The whole message: From, Date, To, Message-ID, In-Reply-To and References (only with
// `in_reply_to`), Subject, MIME-Version and Content-Type headers
// (To is "undisclosed-recipients:;" and there is no Cc or Bcc: every recipient is a blind copy,
// named in the envelope only), a blank line and the body, every line
// ending in CRLF. CR and LF in the name or subject become blanks; non-ASCII there goes in
// RFC 2047 encoded words; a name with specials or outer blanks is quoted. The body is sent as
// 7bit when it is plain ASCII with short lines, otherwise quoted-printable. Texts are UTF-8;
// bytes that are not valid UTF-8 are sent as U+FFFD. With an attachment, the message is
// multipart/mixed: the body as its text/plain part, then the attachment, "charset=UTF-8",
// Content-Disposition attachment with its file name (quoted, its quotes and backslashes and
// line breaks dropped), base64 in lines of 76, its bytes as they are.
std::string BuildMessage(const MailContent& content, std::chrono::system_clock::time_point date,
                         std::string_view message_id);

// The message's first line, as BuildMessage writes it: "From: name <address>" and CRLF.
std::string FromHeader(std::string_view sender_name, std::string_view sender_address);

// A fresh left part of a Message-ID (dot-atom text), unique per call.
std::string NewMessageIdLeft();

// A fresh "<...@domain>" identifier, unique per call, with the domain of `sender_address`
// when it has a usable one.
std::string NewMessageId(std::string_view sender_address);

// The identifier "<left@domain>", with the domain NewMessageId would take for `sender_address`:
// the same for the same two, whenever and by whichever run it is made. `left` is the caller's
// dot-atom text (letters, digits, dots); CR and LF in it are blanked when the message is built.
std::string MessageIdOf(std::string_view left, std::string_view sender_address);

// The value of the Message-ID header of `message` (headers and body as BuildMessage writes
// them); empty when it has none. For a message read back from where it was kept.
std::string MessageIdIn(std::string_view message);

// Every line end (CRLF, a lone CR or a lone LF) made CRLF.
std::string ToCrlf(std::string_view text);

// Quoted-printable of UTF-8 text (RFC 2045): lines of at most 76 characters, line ends kept
// as CRLF.
std::string EncodeQuotedPrintable(std::string_view text);

// The bare address of one recipient or sender entry: blanks trimmed, and "Name <addr>" gives
// "addr". Empty when nothing is left.
std::string EnvelopeAddress(std::string_view entry);

// The entries of a comma-separated address list, in order, as bare addresses; empty entries
// (",," or a trailing comma) are dropped. A comma inside a quoted string ("\"a,b\"@x.com",
// "\"Doe, John\" <j@x.com>") separates nothing.
std::vector<std::string> SplitAddressList(std::string_view list);

// Whether text holds CR, LF or NUL, which must never reach an SMTP command.
bool HoldsLineBreakOrNul(std::string_view text);

}  // namespace quillet
