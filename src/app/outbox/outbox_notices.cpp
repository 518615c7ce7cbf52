#include "app/outbox/outbox_notices.h"

#include "support/trim.h"

namespace quillet {
namespace {

std::string MailFor(const std::string& order_id) {
    return "Order mail for " + OrderName(order_id);
}

}  // namespace

std::string OrderName(const std::string& order_id) {
    return "order " + order_id;
}

std::string AsSentence(std::string_view text) {
    std::string sentence(TrimOf(text, " \t\r\n"));
    if (sentence.empty()) {
        return sentence;
    }
    if (sentence.front() >= 'a' && sentence.front() <= 'z') {
        sentence.front() = static_cast<char>(sentence.front() - 'a' + 'A');
    }
    if (const char last = sentence.back(); last != '.' && last != '!' && last != '?') {
        sentence += '.';
    }
    return sentence;
}

std::string FailedNoticeKey(const std::string& outbox_id) {
    return "failed " + outbox_id;
}

Notice WaitingNotice(int count, const std::string& first_order_id, const std::string& reason,
                     const std::string& retry_at) {
    if (count <= 1) {
        return {MailFor(first_order_id) + " not sent yet",
                AsSentence(reason) + " It will be tried again at " + retry_at + ".",
                NoticeUrgency::Normal, first_order_id, kWaitingNoticeKey};
    }
    return {std::to_string(count) + " order mails not sent yet",
            "The first, for " + OrderName(first_order_id) + ", was not sent. " +
                AsSentence(reason) + " It will be tried again at " + retry_at +
                ", and the others after it.",
            NoticeUrgency::Normal, first_order_id, kWaitingNoticeKey};
}

Notice FailedNotice(const std::string& order_id, const std::string& reason,
                    const std::string& unsaved) {
    const std::string next =
        unsaved.empty() ? "It is sent again when the settings change, or with Send Again."
                        : "It is not safe: it could not be kept in the outbox (" + unsaved +
                              "), and is lost if Quillet ends before it is sent again.";
    return {MailFor(order_id) + " failed", AsSentence(reason) + " " + next, NoticeUrgency::Critical,
            order_id};
}

Notice RefusedNotice(const std::string& order_id, const std::string& reason) {
    return {MailFor(order_id) + " failed", AsSentence(reason) + " It is not sent.",
            NoticeUrgency::Critical, order_id};
}

Notice UnsavedNotice(const std::string& order_id, const std::string& unsaved,
                     std::chrono::milliseconds keep_retry) {
    return {
        MailFor(order_id) + " not safe",
        "It could not be kept in the outbox (" + unsaved +
            "). It is in memory only, and is lost if Quillet ends before it is sent. The "
            "outbox is written again every " +
            std::to_string(std::chrono::duration_cast<std::chrono::seconds>(keep_retry).count()) +
            " seconds.",
        NoticeUrgency::Normal, order_id};
}

Notice LostNotice(const std::vector<std::string>& order_ids) {
    std::string names;
    for (const std::string& order : order_ids) {
        names += (names.empty() ? "" : ", ") + OrderName(order);
    }
    return {"Order mails lost",
            "The mails of " + names +
                " could not be kept in the outbox before Quillet ended, and were not sent.",
            NoticeUrgency::Critical, order_ids.size() == 1 ? order_ids.front() : std::string()};
}

Notice UnremovedNotice(const std::string& order_id, const std::string& why) {
    return {MailFor(order_id) + " delivered, still in the outbox",
            "The mail for " + OrderName(order_id) +
                " reached the server, but could not be taken out of the outbox. " +
                AsSentence(why) +
                " Quillet tries again; until it can, the next start would send this mail again.",
            NoticeUrgency::Critical, order_id};
}

Notice DeliveredNotice(int count, const std::string& first_order_id) {
    if (count == 1) {
        return {MailFor(first_order_id) + " delivered",
                "The mail for " + OrderName(first_order_id) + " reached the server.",
                NoticeUrgency::Normal, first_order_id};
    }
    return {std::to_string(count) + " order mails delivered",
            "The mails for " + OrderName(first_order_id) + " and " + std::to_string(count - 1) +
                " more reached the server.",
            NoticeUrgency::Normal, first_order_id};
}

}  // namespace quillet
