#include "app/outbox/outbox_format.h"

#include <charconv>
#include <map>
#include <vector>

#include "mail/mail_message.h"

namespace quillet {
namespace {

constexpr std::string_view kMagic = "Quillet-Outbox: 1\n";

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

template <typename Number>
std::optional<Number> ReadNumber(const std::string& text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string EncodeOutboxEntry(const OutboxEntry& entry) {
    std::string out(kMagic);
    const auto line = [&out](std::string_view name, const std::string& value) {
        out.append(name).append(": ").append(OneLine(value)).append("\n");
    };
    line("Id", entry.id);
    line("Order", entry.order_id);
    line("Created", std::to_string(entry.created_ms));
    line("State", entry.failed ? "failed" : "waiting");
    line("Attempts", std::to_string(entry.attempts));
    line("Reason", entry.reason);
    line("Subject-Bytes", std::to_string(entry.subject.size()));
    line("Body-Bytes", std::to_string(entry.body.size()));
    if (!entry.message_id_left.empty()) {
        line("Message-Id-Left", entry.message_id_left);
    }
    if (entry.attachment) {
        line("Attachment-Name", entry.attachment->name);
        line("Attachment-Type", entry.attachment->content_type);
        line("Attachment-Bytes", std::to_string(entry.attachment->data.size()));
    }
    if (!entry.in_reply_to.empty()) {
        line("In-Reply-To", entry.in_reply_to);
    }
    for (const std::string& recipient : entry.send_to) {
        line("Send-To", recipient);
    }
    if (entry.mail) {
        line("Mail-From", entry.mail->mail_from);
        for (const std::string& recipient : entry.mail->recipients) {
            line("Rcpt-To", recipient);
        }
        line("Message-Bytes", std::to_string(entry.mail->message.size()));
    }
    for (const std::string& recipient : entry.delivered_to) {
        line("Delivered-Rcpt", recipient);
    }
    out += "\n";
    out += entry.subject;
    out += entry.body;
    if (entry.attachment) {
        out += entry.attachment->data;
    }
    if (entry.mail) {
        out += entry.mail->message;
    }
    return out;
}

std::optional<OutboxEntry> DecodeOutboxEntry(std::string_view bytes) {
    if (!bytes.starts_with(kMagic)) {
        return std::nullopt;
    }
    bytes.remove_prefix(kMagic.size());
    std::map<std::string, std::string, std::less<>> fields;
    std::vector<std::string> recipients;
    std::vector<std::string> delivered_to;
    std::vector<std::string> send_to;
    while (true) {
        const size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        if (line.empty()) {
            break;
        }
        const size_t colon = line.find(": ");
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        std::string name(line.substr(0, colon));
        std::string value(line.substr(colon + 2));
        if (name == "Rcpt-To") {
            recipients.push_back(std::move(value));
        } else if (name == "Delivered-Rcpt") {
            delivered_to.push_back(std::move(value));
        } else if (name == "Send-To") {
            send_to.push_back(std::move(value));
        } else if (!fields.emplace(std::move(name), std::move(value)).second) {
            return std::nullopt;  // a header given twice
        }
    }
    const auto field = [&fields](std::string_view name) -> const std::string* {
        const auto found = fields.find(name);
        return found == fields.end() ? nullptr : &found->second;
    };
    const std::string* id = field("Id");
    const std::string* order = field("Order");
    const std::string* state = field("State");
    const std::string* reason = field("Reason");
    const std::string* from = field("Mail-From");
    const auto created = field("Created") ? ReadNumber<int64_t>(*field("Created")) : std::nullopt;
    const auto attempts =
        field("Attempts") ? ReadNumber<int32_t>(*field("Attempts")) : std::nullopt;
    const auto subject_bytes =
        field("Subject-Bytes") ? ReadNumber<size_t>(*field("Subject-Bytes")) : std::nullopt;
    const auto body_bytes =
        field("Body-Bytes") ? ReadNumber<size_t>(*field("Body-Bytes")) : std::nullopt;
    const std::string* message_text = field("Message-Bytes");
    const auto message_bytes = message_text ? ReadNumber<size_t>(*message_text) : std::nullopt;
    const std::string* message_id_left = field("Message-Id-Left");
    const std::string* attachment_name = field("Attachment-Name");
    const std::string* attachment_type = field("Attachment-Type");
    const auto attachment_bytes =
        field("Attachment-Bytes") ? ReadNumber<size_t>(*field("Attachment-Bytes")) : std::nullopt;
    const bool attached = attachment_name != nullptr;
    const std::string* in_reply_to = field("In-Reply-To");
    const size_t known = 8 + (from ? 1 : 0) + (message_text ? 1 : 0) + (message_id_left ? 1 : 0) +
                         (attached ? 3 : 0) + (in_reply_to ? 1 : 0);
    if (attached && (!attachment_type || !attachment_bytes)) {
        return std::nullopt;
    }
    if (!id || !order || !state || !reason || !created || !attempts || !subject_bytes ||
        !body_bytes || (*state != "waiting" && *state != "failed") || fields.size() != known ||
        (from == nullptr) != (message_text == nullptr) || (message_text && !message_bytes) ||
        (from && recipients.empty()) || (!from && !recipients.empty())) {
        return std::nullopt;
    }
    // value_or: g++ 12 takes the checked optionals for possibly unset otherwise.
    const size_t message_size = message_bytes.value_or(0);
    const size_t subject_size = subject_bytes.value_or(0);
    const size_t body_size = body_bytes.value_or(0);
    const size_t attachment_size = attachment_bytes.value_or(0);
    if (subject_size > bytes.size() || body_size > bytes.size() - subject_size ||
        attachment_size > bytes.size() - subject_size - body_size ||
        message_size != bytes.size() - subject_size - body_size - attachment_size) {
        return std::nullopt;
    }
    OutboxEntry entry;
    entry.id = *id;
    entry.order_id = *order;
    entry.created_ms = *created;
    entry.failed = *state == "failed";
    entry.attempts = *attempts;
    entry.reason = *reason;
    entry.subject = std::string(bytes.substr(0, subject_size));
    entry.body = std::string(bytes.substr(subject_size, body_size));
    entry.message_id_left = message_id_left ? *message_id_left : "";
    entry.delivered_to = std::move(delivered_to);
    if (attached) {
        entry.attachment =
            MailAttachment{*attachment_name, *attachment_type,
                           std::string(bytes.substr(subject_size + body_size, attachment_size))};
    }
    entry.in_reply_to = in_reply_to ? *in_reply_to : "";
    entry.send_to = std::move(send_to);
    if (from) {
        const std::string_view message = bytes.substr(subject_size + body_size + attachment_size);
        entry.mail =
            ComposedMail{*from, std::move(recipients), std::string(message), MessageIdIn(message)};
    }
    return entry;
}

}  // namespace quillet
