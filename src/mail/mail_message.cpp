#include "mail/mail_message.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <random>

#include "support/base64.h"
#include "support/trim.h"
#include "support/utf8.h"

namespace quillet {
namespace {

constexpr size_t kMaxSmtpLine = 998;  // characters of a line, without its CRLF

// A header text on one line: CR and LF become blanks, invalid UTF-8 is mended.
std::string OneLine(std::string_view text) {
    std::string out = MendUtf8(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    return out;
}

// RFC 2047 "B" encoded words of UTF-8 text, split on character boundaries, joined by a folding
// line break so that no word is longer than 75 characters.
std::string EncodedWords(std::string_view text) {
    constexpr size_t kMaxBytesPerWord = 39;  // 52 Base64 characters + 12 of framing = 64
    std::string out;
    while (!text.empty()) {
        size_t take = 0;
        while (take < text.size()) {
            size_t n = Utf8SequenceLength(text.substr(take));
            if (n == 0) {
                n = 1;  // cannot happen on mended text; keeps the loop finite regardless
            }
            if (take + n > kMaxBytesPerWord && take > 0) {
                break;
            }
            take += n;
        }
        if (!out.empty()) {
            out += "\r\n ";
        }
        out += "=?UTF-8?B?" + Base64EncodeBytes(text.substr(0, take)) + "?=";
        text.remove_prefix(take);
    }
    return out;
}

// Whether a header text may stand as it is: printable ASCII, not so long that the line
// breaks SMTP's limit, and nothing that a reader would take for an encoded word.
bool IsPlainHeaderText(std::string_view text) {
    if (text.size() > 900 || text.find("=?") != std::string_view::npos) {
        return false;
    }
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

std::string HeaderText(std::string_view text) {
    return IsPlainHeaderText(text) ? std::string(text) : EncodedWords(text);
}

// A display name as a phrase of the From header: as it stands when it is plain atoms,
// quoted when it holds specials or outer or double blanks, encoded when it is not ASCII.
std::string DisplayNamePhrase(std::string_view name) {
    if (!IsPlainHeaderText(name)) {
        return EncodedWords(name);
    }
    constexpr std::string_view kSpecials = "()<>[]:;@\\,.\"";
    const bool needs_quotes = name.find_first_of(kSpecials) != std::string_view::npos ||
                              name.front() == ' ' || name.back() == ' ' ||
                              name.find("  ") != std::string_view::npos;
    if (!needs_quotes) {
        return std::string(name);
    }
    std::string out = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    return out;
}

std::string DateHeader(std::chrono::system_clock::time_point date) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t t = std::chrono::system_clock::to_time_t(date);
    std::tm tm{};
    localtime_r(&t, &tm);
    const long offset_minutes = tm.tm_gmtoff / 60;
    const long abs_minutes = offset_minutes < 0 ? -offset_minutes : offset_minutes;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  kDays[tm.tm_wday], tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour,
                  tm.tm_min, tm.tm_sec, offset_minutes < 0 ? '-' : '+', abs_minutes / 60,
                  abs_minutes % 60);
    return buffer;
}

bool BodyIs7Bit(std::string_view crlf_body) {
    size_t line_length = 0;
    for (size_t i = 0; i < crlf_body.size(); ++i) {
        const auto c = static_cast<unsigned char>(crlf_body[i]);
        if (c == '\r' && i + 1 < crlf_body.size() && crlf_body[i + 1] == '\n') {
            line_length = 0;
            ++i;
            continue;
        }
        if (c >= 0x80 || c == 0 || ++line_length > kMaxSmtpLine) {
            return false;
        }
    }
    return true;
}

bool IsDomainText(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string ToCrlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string EncodeQuotedPrintable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    constexpr size_t kMaxLine = 76;
    const std::string crlf = ToCrlf(text);
    std::string out;
    out.reserve(crlf.size() * 3 / 2);
    size_t line_length = 0;
    auto put = [&](std::string_view piece, bool line_ends_after) {
        // Leave room for the "=" of a soft break unless the line ends right after the piece.
        const size_t room = line_ends_after ? kMaxLine : kMaxLine - 1;
        if (line_length + piece.size() > room) {
            out += "=\r\n";
            line_length = 0;
        }
        out += piece;
        line_length += piece.size();
    };
    for (size_t i = 0; i < crlf.size(); ++i) {
        const auto c = static_cast<unsigned char>(crlf[i]);
        if (c == '\r' && i + 1 < crlf.size() && crlf[i + 1] == '\n') {
            out += "\r\n";
            line_length = 0;
            ++i;
            continue;
        }
        const bool at_line_end = i + 1 == crlf.size() || crlf[i + 1] == '\r';
        const bool literal =
            (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !at_line_end);
        if (literal) {
            const char ch = static_cast<char>(c);
            put(std::string_view(&ch, 1), at_line_end);
        } else {
            const char encoded[3] = {'=', kHex[c >> 4], kHex[c & 15]};
            put(std::string_view(encoded, 3), at_line_end);
        }
    }
    return out;
}

std::string EnvelopeAddress(std::string_view entry) {
    std::string_view address = TrimBlanks(entry);
    const auto open = address.rfind('<');
    if (open != std::string_view::npos) {
        const auto close = address.find('>', open);
        if (close != std::string_view::npos) {
            address = TrimBlanks(address.substr(open + 1, close - open - 1));
        }
    }
    return std::string(address);
}

namespace {

// Where the '"' that closes the quoted string opening at `open` is, '\\' escaping the next
// character; npos when none does.
size_t ClosingQuote(std::string_view text, size_t open) {
    for (size_t i = open + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i;
        }
    }
    return std::string_view::npos;
}

// Where the first comma of `list` outside a quoted string is; npos when there is none. A '"'
// that nothing closes quotes nothing.
size_t ListComma(std::string_view list) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == ',') {
            return i;
        }
        if (list[i] == '"') {
            if (const size_t close = ClosingQuote(list, i); close != std::string_view::npos) {
                i = close;
            }
        }
    }
    return std::string_view::npos;
}

}  // namespace

std::vector<std::string> SplitAddressList(std::string_view list) {
    std::vector<std::string> out;
    while (true) {
        const auto comma = ListComma(list);
        std::string address = EnvelopeAddress(list.substr(0, comma));
        if (!address.empty()) {
            out.push_back(std::move(address));
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return out;
}

bool HoldsLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string MessageIdIn(std::string_view message) {
    constexpr std::string_view kHeader = "\r\nMessage-ID: ";
    const size_t at = message.find(kHeader);
    if (at == std::string_view::npos) {
        return {};
    }
    const size_t from = at + kHeader.size();
    return std::string(message.substr(from, message.find("\r\n", from) - from));
}

std::string MessageIdOf(std::string_view left, std::string_view sender_address) {
    std::string address = EnvelopeAddress(sender_address);
    const auto at = address.rfind('@');
    std::string domain = at == std::string::npos ? std::string() : address.substr(at + 1);
    if (!IsDomainText(domain)) {
        domain = "quillet.localdomain";
    }
    return "<" + std::string(left) + "@" + domain + ">";
}

std::string NewMessageIdLeft() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char id[64];
    std::snprintf(id, sizeof id, "%016llx.%016llx", static_cast<unsigned long long>(random()),
                  static_cast<unsigned long long>(
                      std::chrono::system_clock::now().time_since_epoch().count()));
    return id;
}

std::string NewMessageId(std::string_view sender_address) {
    return MessageIdOf(NewMessageIdLeft(), sender_address);
}

std::string FromHeader(std::string_view sender_name, std::string_view sender_address) {
    const std::string name = OneLine(sender_name);
    std::string out = "From: ";
    if (!name.empty()) {
        out += DisplayNamePhrase(name) + " ";
    }
    return out + "<" + OneLine(EnvelopeAddress(sender_address)) + ">\r\n";
}

std::string BuildMessage(const MailContent& content, std::chrono::system_clock::time_point date,
                         std::string_view message_id) {
    std::string out = FromHeader(content.sender_name, content.sender_address);
    out += "Date: " + DateHeader(date) + "\r\n";
    out += "To: undisclosed-recipients:;\r\n";  // every recipient is a blind copy
    out += "Message-ID: " + OneLine(message_id) + "\r\n";
    if (!content.in_reply_to.empty()) {
        const std::string first = OneLine(content.in_reply_to);
        out += "In-Reply-To: " + first + "\r\nReferences: " + first + "\r\n";
    }
    out += "Subject: " + HeaderText(OneLine(content.subject)) + "\r\n";
    out += "MIME-Version: 1.0\r\n";
    // The boundary, made of the Message-ID's letters and digits, appears in no base64 line and
    // in no quoted-printable or 7bit body line that begins with "--=_".
    std::string boundary;
    if (content.attachment) {
        boundary = "=_quillet_";
        for (const char c : message_id) {
            if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
                boundary += c;
            }
        }
        out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
        out += "--" + boundary + "\r\n";
    }
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    std::string body = ToCrlf(MendUtf8(content.body));
    if (BodyIs7Bit(body) &&
        (boundary.empty() || ("\r\n" + body).find("\r\n--=_") == std::string::npos)) {
        out += "Content-Transfer-Encoding: 7bit\r\n\r\n";
    } else {
        out += "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
        body = EncodeQuotedPrintable(body);
    }
    out += body;
    if (body.size() < 2 || body.compare(body.size() - 2, 2, "\r\n") != 0) {
        out += "\r\n";
    }
    if (content.attachment) {
        std::string name;
        for (const char c : OneLine(content.attachment->name)) {
            if (c != '"' && c != '\\') {
                name += c;
            }
        }
        out += "--" + boundary + "\r\n";
        out += "Content-Type: " + OneLine(content.attachment->content_type) +
               "; charset=UTF-8; name=\"" + name + "\"\r\n";
        out += "Content-Disposition: attachment; filename=\"" + name + "\"\r\n";
        out += "Content-Transfer-Encoding: base64\r\n\r\n";
        const std::string encoded = Base64EncodeBytes(content.attachment->data);
        for (size_t at = 0; at < encoded.size(); at += 76) {
            out += encoded.substr(at, 76) + "\r\n";
        }
        out += "--" + boundary + "--\r\n";
    }
    return out;
}

}  // namespace quillet
