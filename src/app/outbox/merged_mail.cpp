#include "app/outbox/merged_mail.h"

namespace quillet {

bool Mergeable(const OutboxEntry& entry) {
    return entry.mail && entry.delivered_to.empty() && !entry.attachment &&
           entry.subject == std::string(kOrderSubject) + entry.order_id;
}

bool MergesWith(const OutboxEntry& first, const OutboxEntry& next) {
    return Mergeable(next) && first.send_to == next.send_to;
}

std::string MergedSubject(const std::vector<std::string>& order_ids) {
    std::string subject(kOrderSubject);
    if (order_ids.size() == 2) {
        return subject + order_ids[0] + " and " + order_ids[1];
    }
    subject += order_ids.empty() ? "" : order_ids[0];
    if (order_ids.size() > 2) {
        subject += ", " + order_ids[1] + " and " + std::to_string(order_ids.size() - 2) + " more";
    }
    return subject;
}

std::string MergedBody(const std::string& first_line, const std::vector<std::string>& bodies) {
    std::string text = first_line;
    for (const std::string& body : bodies) {
        const size_t end = body.find_last_not_of("\r\n");
        text += (end == std::string::npos ? std::string() : body.substr(0, end + 1)) + "\r\n";
    }
    return text;
}

std::string MergedMessageIdLeft(const OutboxEntry& first, size_t count) {
    return first.message_id_left.empty()
               ? std::string()
               : first.message_id_left + ".and" + std::to_string(count - 1);
}

}  // namespace quillet
