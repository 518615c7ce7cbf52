#include "app/outbox.h"

#include <ctime>
#include <iostream>

#include "mail/settings_check.h"

namespace quillet {
namespace {

// "14:05:09", local time.
std::string ClockTime(int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string OrderName(const std::string& order_id) {
    return "order " + order_id;
}

}  // namespace

Outbox::Outbox(OutboxServices services, LineChanged line_changed)
    : services_(std::move(services)), line_changed_(std::move(line_changed)) {}

void Outbox::Start() {
    const int64_t now = services_.now_ms();
    for (OutboxEntry& entry : services_.store.LoadAll()) {
        const std::string id = entry.id;
        items_[id] = Item{std::move(entry), std::nullopt, now, false};
    }
    Wake();
}

void Outbox::FirstAttempt(std::optional<size_t> line, const std::string& order_id,
                          const std::string& subject, const std::string& body,
                          const SendResult& result) {
    if (result.code == 0) {
        ++delivered_;
        if (line) {
            line_changed_(*line, DeliveryState::Delivered, "");
        }
        return;
    }
    const std::string order = OrderName(order_id);
    if (items_.size() >= kMaxOutboxEntries) {
        ++refused_;
        const std::string reason = "The outbox is full (" + std::to_string(kMaxOutboxEntries) +
                                   " mails): this one is not kept. " + result.reason;
        if (line) {
            line_changed_(*line, DeliveryState::Failed, reason);
        }
        services_.notifier.Notify("Order mail for " + order + " failed", reason);
        return;
    }
    const int64_t now = services_.now_ms();
    Item item;
    item.entry = OutboxEntry{NewId(), order_id,         subject, body,         result.composed,
                             now,     result.permanent, 0,       result.reason};
    item.line = line;
    item.next_ms = now + services_.schedule.DelayBefore(1).count();
    Keep(item);
    ShowLine(item);
    if (item.entry.failed) {
        services_.notifier.Notify("Order mail for " + order + " failed",
                                  result.reason + " It is sent again when the settings change.");
    } else {
        services_.notifier.Notify(
            "Order mail for " + order + " not sent yet",
            result.reason + " It will be tried again at " + ClockTime(item.next_ms) + ".");
    }
    const std::string id = item.entry.id;
    items_.emplace(id, std::move(item));
    ScheduleWake();
}

void Outbox::RetryWaiting() {
    for (auto& [id, item] : items_) {
        if (!item.entry.failed) {
            item.next_ms = services_.now_ms();
        }
    }
    Wake();
}

void Outbox::RetryFailed() {
    for (auto& [id, item] : items_) {
        if (item.entry.failed && !item.running) {
            Attempt(item);
        }
    }
}

void Outbox::SendAgain(size_t line) {
    for (auto& [id, item] : items_) {
        if (item.line == line && !item.running) {
            Attempt(item);
            return;
        }
    }
}

OutboxCounts Outbox::Counts() const {
    OutboxCounts counts;
    for (const auto& [id, item] : items_) {
        ++(item.entry.failed ? counts.failed : counts.waiting);
    }
    counts.failed += refused_;
    counts.delivered = delivered_;
    return counts;
}

void Outbox::Keep(Item& item) {
    if (const auto error = services_.store.Save(item.entry)) {
        std::cerr << "quillet: the outbox could not keep the mail for "
                  << OrderName(item.entry.order_id) << ": " << *error << '\n';
    }
}

void Outbox::Attempt(Item& item) {
    item.running = true;
    ShowLine(item);
    const MailSettings settings = services_.live_settings();
    SmtpTransport& transport = services_.transport;
    services_.worker.Submit(
        [&transport, settings, entry = item.entry] {
            if (entry.mail) {
                return RetryMail(transport, settings, *entry.mail);
            }
            return ComposeAndSend(transport, settings, entry.subject, entry.body);
        },
        [this, id = item.entry.id](SendResult result) { AttemptDone(id, std::move(result)); });
}

void Outbox::AttemptDone(const std::string& id, SendResult result) {
    const auto found = items_.find(id);
    if (found == items_.end()) {
        return;
    }
    Item& item = found->second;
    item.running = false;
    ++item.entry.attempts;
    if (!item.entry.mail && result.composed) {
        item.entry.mail = result.composed;
    }
    if (result.code == 0) {
        ++delivered_;
        ++delivered_after_wait_;
        if (item.line) {
            line_changed_(*item.line, DeliveryState::Delivered, "");
        }
        services_.store.Remove(id);
        items_.erase(found);
    } else if (result.permanent) {
        MarkFailed(item, result.reason);
    } else {
        item.entry.failed = false;
        item.entry.reason = result.reason;
        item.next_ms =
            services_.now_ms() + services_.schedule.DelayBefore(item.entry.attempts + 1).count();
        Keep(item);
        ShowLine(item);
    }
    TellDelivered();
    ScheduleWake();
}

void Outbox::MarkFailed(Item& item, const std::string& reason) {
    item.entry.failed = true;
    item.entry.reason = reason;
    Keep(item);
    ShowLine(item);
    services_.notifier.Notify("Order mail for " + OrderName(item.entry.order_id) + " failed",
                              reason + " It is sent again when the settings change.");
}

void Outbox::ShowLine(const Item& item) {
    if (!item.line) {
        return;
    }
    if (item.entry.failed && !item.running) {
        line_changed_(*item.line, DeliveryState::Failed, "Failed: " + item.entry.reason);
    } else {
        const std::string next = item.running ? "now" : "at " + ClockTime(item.next_ms);
        line_changed_(*item.line, DeliveryState::Waiting,
                      "Waiting: next attempt " + next + ". Last reason: " + item.entry.reason);
    }
}

void Outbox::ScheduleWake() {
    std::optional<int64_t> earliest;
    for (const auto& [id, item] : items_) {
        if (!item.entry.failed && !item.running && (!earliest || item.next_ms < *earliest)) {
            earliest = item.next_ms;
        }
    }
    if (!earliest) {
        return;
    }
    const uint64_t generation = ++wake_generation_;
    const auto delay =
        std::chrono::milliseconds(std::max<int64_t>(0, *earliest - services_.now_ms()));
    services_.post_after(delay, [this, generation] {
        if (generation == wake_generation_) {
            Wake();
        }
    });
}

void Outbox::Wake() {
    const int64_t now = services_.now_ms();
    for (auto& [id, item] : items_) {
        if (item.entry.failed || item.running || item.next_ms > now) {
            continue;
        }
        if (now - item.entry.created_ms >= services_.schedule.give_up.count()) {
            const auto limit = services_.schedule.give_up;
            const std::string within =
                limit >= std::chrono::hours(1)
                    ? std::to_string(limit / std::chrono::hours(1)) + " hours"
                    : std::to_string(limit / std::chrono::seconds(1)) + " seconds";
            MarkFailed(item, "Not delivered within " + within + ". " + item.entry.reason);
            continue;
        }
        Attempt(item);
    }
    ScheduleWake();
}

void Outbox::TellDelivered() {
    if (delivered_after_wait_ == 0) {
        return;
    }
    for (const auto& [id, item] : items_) {
        if (item.running) {
            return;  // told once this round of attempts is over
        }
    }
    const int32_t count = delivered_after_wait_;
    delivered_after_wait_ = 0;
    services_.notifier.Notify(
        std::to_string(count) + " waiting order mail" + (count == 1 ? "" : "s") + " delivered", "");
}

std::string Outbox::NewId() {
    char text[40];
    std::snprintf(text, sizeof text, "%016lld-%08x", static_cast<long long>(services_.now_ms()),
                  ++id_counter_);
    std::string id = text;
    while (items_.contains(id)) {
        std::snprintf(text, sizeof text, "%016lld-%08x", static_cast<long long>(services_.now_ms()),
                      ++id_counter_);
        id = text;
    }
    return id;
}

}  // namespace quillet
