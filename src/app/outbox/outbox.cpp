#include "app/outbox/outbox.h"

#include <algorithm>
#include <random>
#include <thread>
#include <utility>

#include "app/outbox/merged_mail.h"
#include "app/outbox/outbox_notices.h"
#include "app/outbox/recipient_outcome.h"
#include "mail/settings_check.h"
#include "support/clock_time.h"

namespace quillet {
namespace {

// How long a first attempt may run before its line shows the mail waiting.
constexpr std::chrono::milliseconds kUnderWayShownAfter(250);
// A mail that leaves longer than this after its order says so in its first line.
constexpr std::chrono::milliseconds kLateAfter = std::chrono::seconds(60);
// How long a mail that waits for its first retry may hold the later ones.
constexpr std::chrono::milliseconds kMostHeld = std::chrono::minutes(2);

// `mail` with `line` (empty: none) as the first line of its text, or without it.
ComposedMail WithFirstLine(ComposedMail mail, const std::string& line) {
    if (const size_t body = mail.message.find("\r\n\r\n");
        !line.empty() && body != std::string::npos) {
        mail.message.insert(body + 4, line);
    }
    return mail;
}
ComposedMail WithoutFirstLine(ComposedMail mail, const std::string& line) {
    if (const size_t at = mail.message.find("\r\n\r\n" + line); at != std::string::npos) {
        mail.message.erase(at + 4, line.size());
    }
    return mail;
}

std::string JoinedRecipients(const ComposedMail& mail) {
    std::string joined;
    for (const std::string& recipient : mail.recipients) {
        joined += (joined.empty() ? "" : ",") + recipient;
    }
    return joined;
}

// Tells `safe` once, when there is one: the last step of whatever made the mail safe, since it
// may reach well beyond the outbox (a reply to the platform).
void Tell(Outbox::Safe safe, const std::string& unsaved = {}) {
    if (safe) {
        safe(unsaved);
    }
}

}  // namespace

Outbox::Outbox(OutboxServices services, LineChanged line_changed, FirstOutcome first_outcome)
    : services_(std::move(services)),
      line_changed_(std::move(line_changed)),
      first_outcome_(std::move(first_outcome)),
      id_salt_(static_cast<uint32_t>(std::random_device{}())) {}

void Outbox::Start() {
    const int64_t now = services_.now_ms();
    pace_.Restore(services_.store.LoadSentToday());
    for (OutboxEntry& entry : services_.store.LoadAll()) {
        last_id_ms_ = std::max(last_id_ms_, entry.created_ms);
        const std::string id = entry.id;
        Item item;
        item.entry = std::move(entry);
        item.next_ms = now;
        item.tried = true;
        item.stored = true;
        item.waited = true;
        gate_->stored.insert(id);
        items_.emplace(id, std::move(item));
    }
    Pump();
}

void Outbox::Send(std::optional<size_t> line, const std::string& order_id,
                  const std::string& subject, const std::string& body, const MailSettings& settings,
                  Safe safe, std::optional<JournalEventRecord> journal_row,
                  const std::string& message_id_left, const std::string& in_reply_to,
                  const std::vector<std::string>& send_to,
                  std::optional<MailAttachment> attachment) {
    // Settings still waiting for their password are checked, and the mail composed, at its
    // attempt.
    const bool pending = services_.password_pending && services_.password_pending();
    SendResult composed =
        pending ? SendResult{}
                : ComposeWith(settings, subject, body, message_id_left, in_reply_to, attachment);
    if (items_.size() >= kMaxOutboxEntries) {
        ++refused_;
        const std::string reason = "The outbox is full (" + std::to_string(kMaxOutboxEntries) +
                                   " mails): this one is not kept.";
        line_changed_(line, DeliveryState::Failed, reason);
        if (journal_row && services_.journal != nullptr) {
            journal_row->note = reason;
            journal_row->mail_state = "failed";
            services_.journal->RecordEvent(std::move(*journal_row));
        }
        services_.notifier.Notify(RefusedNotice(order_id, reason));
        if (services_.watch) {
            services_.watch(MailOutcome{MailOutcome::Kind::kFailed, order_id, "", "", reason, 0});
        }
        Tell(std::move(safe), reason);  // kept nowhere: the reply must not call it safe
        return;
    }
    const int64_t now = services_.now_ms();
    Item item;
    item.entry =
        OutboxEntry{NewId(), order_id, subject, body, composed.composed, now, false, 0, ""};
    item.entry.message_id_left = message_id_left;
    item.entry.attachment = std::move(attachment);
    item.entry.in_reply_to = in_reply_to;
    item.entry.send_to = send_to;
    item.line = line;
    item.next_ms = now;
    item.safe = std::move(safe);
    const std::string id = item.entry.id;
    Item& kept = items_.emplace(id, std::move(item)).first->second;
    if (journal_row && services_.journal != nullptr) {
        journal_row->outbox_id = id;
        if (kept.entry.mail) {
            journal_row->message_id = kept.entry.mail->message_id;
            journal_row->recipients = JoinedRecipients(*kept.entry.mail);
            journal_row->message = kept.entry.mail->message;
        }
        journal_row->mail_state = "waiting";
        services_.journal->RecordEvent(std::move(*journal_row));
    }
    if (!composed.ok()) {
        // Nothing to attempt: the settings do not allow composing it.
        Say(services_.log, "mail not sent: " + composed.reason);
        kept.tried = true;
        first_outcome_(composed);
        MarkFailed(kept, composed.reason);
        Tell(std::exchange(kept.safe, nullptr), kept.unsaved);
        return;
    }
    Pump();  // the attempt begins beside the write
    // A runner that does its job at once may have ended the attempt already: delivered and
    // forgotten the mail, or kept it as the attempt failed.
    if (const auto found = items_.find(id); found != items_.end() && !found->second.tried) {
        KeepNew(found->second);
    }
}

void Outbox::RetryWaiting() {
    const int64_t now = services_.now_ms();
    for (auto& [id, item] : items_) {
        if (!item.entry.failed) {
            item.next_ms = std::min(item.next_ms, now);
        }
    }
    Pump();
}

void Outbox::RetryFailed() {
    for (auto& [id, item] : items_) {
        if (item.entry.failed) {
            item.entry.failed = false;
            item.next_ms = services_.now_ms();
            ShowLine(item);
        }
    }
    RetryWaiting();
}

void Outbox::SendAgain(size_t line) {
    for (auto& [id, item] : items_) {
        if (item.line == line) {
            item.entry.failed = false;
            ShowLine(item);
            RetryWaiting();  // the mails before it go first
            return;
        }
    }
}

std::vector<std::string> Outbox::KeepAll() {
    return KeepAllUntil(std::chrono::steady_clock::now() +
                        (gave_up_ ? std::chrono::milliseconds(0) : services_.keep_at_end));
}

void Outbox::KeepAllThen(std::function<void(std::vector<std::string>)> then) {
    const bool unsaved = std::any_of(items_.begin(), items_.end(),
                                     [](const auto& entry) { return !entry.second.stored; });
    if ((!unsaved && running_.empty()) || gave_up_) {
        then(KeepAll());
        return;
    }
    if (unsaved) {
        RetryWaiting();  // the server may take them yet
    }
    KeepStep(std::chrono::steady_clock::now() + services_.keep_at_end, std::move(then));
}

void Outbox::KeepStep(std::chrono::steady_clock::time_point give_up,
                      std::function<void(std::vector<std::string>)> then) {
    bool unsaved = false;
    for (auto& [id, item] : items_) {
        if (!item.stored && !Keep(item)) {
            unsaved = true;
        }
    }
    if ((!unsaved && running_.empty()) || std::chrono::steady_clock::now() >= give_up) {
        then(KeepAllUntil(std::chrono::steady_clock::now()));
        return;
    }
    const auto step = std::max(std::chrono::milliseconds(50), services_.keep_retry / 10);
    services_.post_after(step, [this, give_up, then = std::move(then)]() mutable {
        KeepStep(give_up, std::move(then));
    });
}

std::vector<std::string> Outbox::KeepAllUntil(std::chrono::steady_clock::time_point give_up) {
    std::vector<std::string> lost;
    while (true) {
        lost.clear();
        for (auto& [id, item] : items_) {
            if (!item.stored && !Keep(item)) {
                lost.push_back(item.entry.order_id);
            }
        }
        if (lost.empty() || std::chrono::steady_clock::now() >= give_up) {
            break;
        }
        // The end of the program: nothing else is waiting for this thread.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::vector<std::pair<Safe, std::string>> told;
    for (auto& [id, item] : items_) {
        if (item.safe) {
            told.emplace_back(std::exchange(item.safe, nullptr), item.unsaved);
        }
    }
    if (!lost.empty() && !std::exchange(gave_up_, true)) {
        std::string names;
        for (const std::string& order : lost) {
            names += (names.empty() ? "" : ", ") + OrderName(order);
        }
        Say(services_.log, "lost, as the outbox could not keep them: the mails of " + names);
        services_.notifier.Notify(LostNotice(lost));
    }
    for (auto& [safe, unsaved] : told) {
        Tell(std::move(safe), unsaved);
    }
    return lost;
}

OutboxCounts Outbox::Counts() const {
    OutboxCounts counts;
    for (const auto& [id, item] : items_) {
        ++(item.entry.failed ? counts.failed : counts.waiting);
        counts.unsaved += item.unsaved.empty() ? 0 : 1;
        counts.partly += item.entry.delivered_to.empty() ? 0 : 1;
    }
    counts.failed += refused_;
    counts.delivered = delivered_;
    return counts;
}

void Outbox::Pump() {
    if (!running_.empty()) {
        return;  // one attempt at a time: the next begins when it ends
    }
    const int64_t now = services_.now_ms();
    std::optional<int64_t> wake;
    std::vector<Item*> passed;  // waiting for their retries, and holding the later ones no more
    for (auto at = items_.begin(); at != items_.end(); ++at) {
        Item& item = at->second;
        if (item.entry.failed) {
            continue;
        }
        // A mail never tried is never given up: it is tried first.
        if (item.tried && now - item.entry.created_ms >= services_.schedule.give_up.count()) {
            const auto limit = services_.schedule.give_up;
            const std::string within =
                limit >= std::chrono::hours(1)
                    ? std::to_string(limit / std::chrono::hours(1)) + " hours"
                    : std::to_string(limit / std::chrono::seconds(1)) + " seconds";
            const std::string last = AsSentence(item.entry.reason);
            MarkFailed(item,
                       "Not delivered within " + within + "." + (last.empty() ? "" : " ") + last);
            continue;
        }
        if (item.next_ms > now) {
            wake = std::min(wake.value_or(item.next_ms), item.next_ms);
            if (Holds(item, now)) {
                break;  // the later mails wait for its retry
            }
            passed.push_back(&item);
            continue;
        }
        if (services_.password_pending && services_.password_pending()) {
            break;  // Resume() goes on once the password has come
        }
        MailSettings settings = services_.live_settings();
        const size_t recipients =
            item.entry.mail ? item.entry.mail->recipients.size() : settings.send_to.size();
        if (const auto paced = pace_.Before(settings, recipients, now)) {
            item.waited = true;  // held by the pace, as by an outage
            if (std::exchange(item.paced, paced->reason) != paced->reason) {
                ShowLine(item);
            }
            wake = std::min(wake.value_or(paced->until_ms), paced->until_ms);
            break;  // the account's pace holds this mail and those after it
        }
        item.paced.clear();
        for (Item* held : passed) {
            if (!std::exchange(held->late, true)) {
                ShowLine(*held);  // a later mail goes first
            }
        }
        const std::vector<Item*> group = Together(at, settings, now);
        Attempt(group, std::move(settings));
        return;  // the oldest mail that may go goes first
    }
    if (wake) {
        WakeAt(*wake);
    }
    // The mails stop going out for now: those that waited and got through are told as one.
    TellDelivered();
}

std::string Outbox::LateLine(const Item& item, int64_t now) {
    const int64_t after_ms = now - item.entry.created_ms;
    std::string line;
    if (after_ms > kLateAfter.count()) {
        line = "Sent late: the order event came at " + ClockTimeWithZone(item.entry.created_ms) +
               ", " + std::to_string(after_ms / 60000) + " min before this mail.";
    }
    if (item.late) {
        line += line.empty()
                    ? "Sent late: this mail was held from " + ClockTimeWithZone(item.held_since_ms)
                    : std::string(" It was held");
        line += " while the server did not take it, and the mails of later orders went first.";
    }
    return line.empty() ? line : line + "\r\n";
}

bool Outbox::Holds(const Item& item, int64_t now) const {
    return item.entry.attempts == 0 && item.entry.delivered_to.empty() &&
           now - item.held_since_ms < kMostHeld.count();
}

std::vector<Outbox::Item*> Outbox::Together(Items::iterator head, const MailSettings& settings,
                                            int64_t now) {
    std::vector<Item*> group{&head->second};
    const OutboxEntry& first = head->second.entry;
    if (!settings.merge_waiting || !head->second.waited || !Mergeable(first)) {
        return group;
    }
    for (auto next = std::next(head); next != items_.end() && group.size() < kMostMerged; ++next) {
        Item& item = next->second;
        if (item.entry.failed) {
            continue;  // not in the flow until the user asks for it
        }
        if (item.next_ms > now || !MergesWith(first, item.entry)) {
            break;  // only those that follow one another go together
        }
        group.push_back(&item);
    }
    return group;
}

void Outbox::Attempt(const std::vector<Item*>& group, MailSettings settings) {
    Item& head = *group.front();
    ++wake_generation_;  // a wake set for an earlier retry has nothing left to do
    if (!head.entry.send_to.empty()) {
        settings.send_to = head.entry.send_to;  // a rule's mail keeps to its own recipients
    }
    // A report with an attachment says its own day; a first line would fall in its preamble.
    const std::string late_line =
        head.entry.attachment ? std::string() : LateLine(head, services_.now_ms());
    std::vector<OutboxEntry> entries;
    std::optional<ComposedMail> merged;
    if (group.size() > 1) {
        std::vector<std::string> orders;
        std::vector<std::string> bodies;
        for (const Item* item : group) {
            orders.push_back(item->entry.order_id);
            bodies.push_back(item->entry.body);
        }
        merged = ComposeWith(settings, MergedSubject(orders), MergedBody(late_line, bodies),
                             MergedMessageIdLeft(head.entry, group.size()))
                     .composed;
    }
    running_.clear();
    for (Item* item : merged ? group : std::vector<Item*>{&head}) {
        running_.push_back(item->entry.id);
        entries.push_back(item->entry);
        if (item->tried) {
            ShowLine(*item);
        }
    }
    SmtpTransport& transport = services_.transport;
    services_.mail.Submit(
        [&transport, &store = services_.store, gate = gate_, settings, entries, merged, late_line] {
            const OutboxEntry& entry = entries.front();
            SendResult result =
                merged       ? RetryMail(transport, settings, *merged)
                : entry.mail ? RetryMail(transport, settings, WithFirstLine(*entry.mail, late_line),
                                         entry.delivered_to)
                             : ComposeAndSend(transport, settings, entry.subject, entry.body, false,
                                              entry.message_id_left, {}, entry.in_reply_to,
                                              entry.attachment);
            if (result.composed && !late_line.empty() && !merged) {
                *result.composed = WithoutFirstLine(*result.composed, late_line);
            }
            const std::optional<RecipientOutcome> split =
                result.composed ? SplitByRecipient(result.composed->recipients, result)
                                : std::nullopt;
            for (const OutboxEntry& each : entries) {
                if (result.ok() && split && !split->Remaining().empty()) {
                    // Those the server took have every order's line; each goes on alone.
                    ComposedMail sent = merged ? *each.mail : *result.composed;
                    sent.mail_from = result.composed->mail_from;
                    sent.recipients = result.composed->recipients;
                    KeepUndelivered(store, *gate, each, sent, *split);
                } else if (result.ok()) {
                    Forget(store, *gate, each.id);
                }
            }
            return result;
        },
        [this, ids = running_](SendResult result) { AttemptDone(ids, std::move(result)); });
}

void Outbox::Forget(OutboxStore& store, StoreGate& gate, const std::string& id) {
    bool kept = false;
    {
        const std::lock_guard lock(gate.mutex);
        gate.delivered.insert(id);
        gate.unwritten.erase(id);
        if (const auto w = gate.writing.find(id); w != gate.writing.end()) {
            w->second = StoreGate::Meanwhile::kDelivered;  // the keeper forgets it
        }
        kept = gate.stored.erase(id) != 0;
    }
    if (const Result<> removed = kept ? store.Remove(id) : Result<>(); !removed.ok()) {
        const std::lock_guard lock(gate.mutex);
        gate.unremoved.emplace(id, removed.error().message);
    }
}

void Outbox::AttemptDone(const std::vector<std::string>& ids, SendResult result) {
    running_.clear();
    if (!result.ok()) {
        Say(services_.log, "mail not sent: " + result.reason);
    }
    const std::optional<RecipientOutcome> split =
        result.composed ? SplitByRecipient(result.composed->recipients, result) : std::nullopt;
    Paced(result, split);
    // Mails that went together as one keep their own entries, states and lines; those left
    // waiting are tried again together, when the first of them is.
    const bool together = ids.size() > 1;
    std::optional<int64_t> retry_at;
    if (const auto head = items_.find(ids.front()); together && head != items_.end()) {
        const int32_t attempts = head->second.entry.attempts + (head->second.tried ? 1 : 0);
        retry_at = services_.now_ms() + services_.schedule.DelayBefore(attempts + 1).count();
    }
    std::vector<std::pair<Safe, std::string>> told;
    for (const std::string& id : ids) {
        if (const auto found = items_.find(id); found != items_.end()) {
            told.push_back(Outcome(found, result, split, together, retry_at));
        }
    }
    Pump();
    for (auto& [safe, unsaved] : told) {
        Tell(std::move(safe), unsaved);
    }
}

std::pair<Outbox::Safe, std::string> Outbox::Outcome(Items::iterator found,
                                                     const SendResult& result,
                                                     const std::optional<RecipientOutcome>& split,
                                                     bool together,
                                                     std::optional<int64_t> retry_at) {
    Item& item = found->second;
    const bool first = !item.tried;
    item.tried = true;
    if (!first) {
        ++item.entry.attempts;
    }
    // Composed by the attempt, or sent from and to the sender and recipients of new settings;
    // a mail that went with others keeps its own message for when it goes alone.
    const bool composed_now =
        !together && result.composed && (!item.entry.mail || *item.entry.mail != *result.composed);
    if (composed_now) {
        item.entry.mail = result.composed;
    }
    const std::optional<ComposedMail> new_mail =
        composed_now ? result.composed : std::optional<ComposedMail>();
    if (first) {
        first_outcome_(result);
    }
    Safe safe = std::exchange(item.safe, nullptr);
    std::string unsaved;
    const bool partly = split && !split->Remaining().empty();
    if (partly) {
        Say(services_.log, "mail for " + OrderName(item.entry.order_id) + " " +
                               split->Describe(item.entry.delivered_to.size()));
        ByRecipient(item, *split, result.server_reply, new_mail, first);
    } else if (result.ok()) {
        std::optional<std::string> unremoved;
        {
            const std::lock_guard lock(gate_->mutex);
            gate_->delivered.erase(item.entry.id);  // its entry left the store on the mail
            if (const auto left = gate_->unremoved.find(item.entry.id);  // thread, or:
                left != gate_->unremoved.end()) {
                unremoved = left->second;
            }
        }
        if (unremoved) {
            Say(services_.log, "the outbox could not forget the delivered mail for " +
                                   OrderName(item.entry.order_id) + ": " + *unremoved);
            services_.notifier.Notify(UnremovedNotice(item.entry.order_id, *unremoved));
            ArmKeepRetry();
        }
        ++delivered_;
        if (item.told_failed) {
            services_.notifier.Withdraw(FailedNoticeKey(item.entry.id));
        }
        if (item.waited) {
            if (delivered_after_wait_++ == 0) {
                first_delivered_after_wait_ = item.entry.order_id;
            }
        }
        // The journal and the watcher have the mail as it went: with the others, it is theirs.
        Journaled(item, result.server_reply, services_.now_ms(),
                  together ? result.composed : new_mail);
        Watched(item, MailOutcome::Kind::kDelivered, result.server_reply,
                together && result.composed ? result.composed->message_id : std::string());
        const std::optional<size_t> line = item.line;
        items_.erase(found);  // before it is told, so that the counts no longer hold it
        line_changed_(line, DeliveryState::Delivered, "");
        return {std::move(safe), unsaved};
    } else if (result.permanent) {
        MarkFailed(item, Partly(item, result.reason), result.server_reply);
    } else {
        Wait(item, Partly(item, result.reason), result.server_reply, new_mail, first, retry_at);
    }
    unsaved = item.unsaved;
    if (!item.stored && unsaved.empty()) {
        item.safe = std::exchange(safe, nullptr);  // its write is under way: told then
    }
    return {std::move(safe), unsaved};
}

void Outbox::Paced(const SendResult& result, const std::optional<RecipientOutcome>& split) {
    const int64_t now = services_.now_ms();
    if (!result.ok() && !result.permanent && SpeaksOfRate(result.server_reply)) {
        pace_.SlowDown(now);
        return;
    }
    if (!result.ok() && !split) {
        return;
    }
    const MailSettings limits = services_.live_settings();
    const size_t reached = split             ? split->delivered.size()
                           : result.composed ? result.composed->recipients.size()
                                             : 0;
    if (reached == 0) {
        return;
    }
    if (pace_.Sent(limits, reached, now)) {
        services_.notifier.Notify(
            {"Daily sending limit nearly reached",
             std::to_string(pace_.Today().recipients) + " of the " +
                 std::to_string(limits.per_day) +
                 " recipients a day that the account may mail are used today. Mails beyond "
                 "the limit wait in the outbox until 00:00."});
    }
    if (limits.per_day > 0) {
        services_.store.SaveSentToday(pace_.Today());
    }
}

void Outbox::Wait(Item& item, const std::string& reason, const std::string& server_reply,
                  const std::optional<ComposedMail>& new_mail, bool first,
                  std::optional<int64_t> retry_at) {
    item.entry.reason = reason;
    item.waited = true;
    item.held_since_ms = item.held_since_ms != 0 ? item.held_since_ms : services_.now_ms();
    item.next_ms = retry_at.value_or(
        services_.now_ms() + services_.schedule.DelayBefore(item.entry.attempts + 1).count());
    Keep(item);
    ShowLine(item);
    Journaled(item, server_reply, std::nullopt, new_mail);
    Watched(item, MailOutcome::Kind::kWaiting, server_reply);
    if (!item.unsaved.empty()) {
        NotifyUnsaved(item);
    } else if (first) {
        ++waiting_told_;
        TellWaiting();
    }
}

std::string Outbox::Partly(const Item& item, const std::string& reason) {
    if (item.entry.delivered_to.empty() || !item.entry.mail) {
        return reason;
    }
    const size_t had = item.entry.delivered_to.size();
    return DeliveredTo(had, had + item.entry.mail->recipients.size()) + "; " + reason;
}

void Outbox::ByRecipient(Item& item, const RecipientOutcome& split, const std::string& server_reply,
                         const std::optional<ComposedMail>& new_mail, bool first) {
    const std::string reason = split.Describe(item.entry.delivered_to.size());
    split.LeaveUndelivered(item.entry);
    if (split.waiting.empty()) {
        MarkFailed(item, reason, server_reply);
        return;
    }
    if (!split.refused.empty()) {
        // Those refused for good are told now: the mail goes on without them.
        Notice refused = FailedNotice(item.entry.order_id, reason, item.unsaved);
        refused.key = FailedNoticeKey(item.entry.id) + " refused";
        services_.notifier.Notify(refused);
    }
    Wait(item, reason, server_reply, new_mail, first);
}

void Outbox::KeepUndelivered(OutboxStore& store, StoreGate& gate, OutboxEntry entry,
                             const ComposedMail& sent, const RecipientOutcome& split) {
    entry.mail = sent;
    split.LeaveUndelivered(entry);
    const std::lock_guard lock(gate.mutex);
    const bool unwritten = gate.unwritten.erase(entry.id) != 0;  // the keeper leaves it now
    if (const auto w = gate.writing.find(entry.id); w != gate.writing.end()) {
        w->second = StoreGate::Meanwhile::kChanged;  // written as it is now once that has ended
        return;
    }
    if ((unwritten || gate.stored.contains(entry.id)) && store.Save(entry).ok()) {
        gate.stored.insert(entry.id);
    }
}

void Outbox::KeepNew(Item& item) {
    if (services_.keeper == nullptr) {
        Keep(item);
        Kept(item);
        return;
    }
    {
        const std::lock_guard lock(gate_->mutex);
        if (gate_->delivered.contains(item.entry.id)) {
            return;  // the server has it, and its outcome tells `safe`
        }
        gate_->unwritten.insert(item.entry.id);
    }
    to_keep_.push_back(item.entry.id);
    KeepBatch();
}

void Outbox::KeepBatch() {
    if (keeping_ || to_keep_.empty()) {
        return;  // these go with the next batch
    }
    const auto now = std::chrono::steady_clock::now();
    if (services_.more_coming && services_.more_coming() && to_keep_.size() < kMostKeptTogether &&
        now - batch_waits_since_.value_or(now) < kMostKeepWait) {
        batch_waits_since_ = batch_waits_since_.value_or(now);
        if (!std::exchange(batch_posted_, true)) {
            services_.post_after(std::chrono::milliseconds(0), [this] {
                batch_posted_ = false;
                KeepBatch();
            });
        }
        return;  // the events read already bring their mails to this batch
    }
    batch_waits_since_.reset();
    std::vector<std::string> ids;
    std::vector<OutboxEntry> entries;
    for (const std::string& id : std::exchange(to_keep_, {})) {
        if (const auto found = items_.find(id); found != items_.end() && !found->second.stored) {
            ids.push_back(id);
            entries.push_back(found->second.entry);
        }
    }
    if (ids.empty()) {
        return;
    }
    keeping_ = true;
    auto outcomes = std::make_shared<std::vector<Result<>>>();
    services_.keeper->Submit(
        [&store = services_.store, gate = gate_, entries = std::move(entries), outcomes] {
            WriteBatch(store, *gate, entries, *outcomes);
            return SendResult{};
        },
        [this, ids = std::move(ids), outcomes](const SendResult&) { BatchKept(ids, *outcomes); });
}

void Outbox::WriteBatch(OutboxStore& store, StoreGate& gate,
                        const std::vector<OutboxEntry>& entries, std::vector<Result<>>& outcomes) {
    // A mail the server has taken, or one written on the user-interface thread since (as it
    // changed), is not written.
    std::vector<OutboxEntry> writing;
    {
        const std::lock_guard lock(gate.mutex);
        for (const OutboxEntry& entry : entries) {
            if (gate.unwritten.erase(entry.id) != 0) {
                gate.writing.emplace(entry.id, StoreGate::Meanwhile::kNothing);
                writing.push_back(entry);
            }
        }
    }
    // Without the lock: a delivery's bookkeeping does not wait for the disk. A mail the server
    // took while its content went to the disk does not take its place in the store.
    std::set<std::string> dropped;
    std::vector<Result<>> written = store.SaveAll(writing, [&gate, &dropped](const OutboxEntry& e) {
        const std::lock_guard lock(gate.mutex);
        if (gate.writing.at(e.id) != StoreGate::Meanwhile::kDelivered) {
            return true;
        }
        dropped.insert(e.id);
        return false;
    });
    std::vector<std::string> forget;
    {
        const std::lock_guard lock(gate.mutex);
        size_t next = 0;
        for (const OutboxEntry& entry : entries) {
            const bool wrote = next < writing.size() && writing[next].id == entry.id;
            outcomes.push_back(wrote ? written[next++] : Result<>());
            if (!wrote) {
                continue;
            }
            const auto meanwhile = gate.writing.extract(entry.id).mapped();
            if (!outcomes.back().ok() || dropped.contains(entry.id)) {
                continue;
            }
            if (meanwhile == StoreGate::Meanwhile::kDelivered) {
                forget.push_back(entry.id);
            } else {
                gate.stored.insert(entry.id);
            }
            if (meanwhile == StoreGate::Meanwhile::kChanged) {
                gate.unwritten.insert(entry.id);  // BatchKept writes it as it is now
            }
        }
    }
    for (const std::string& id : forget) {
        if (const Result<> removed = store.Remove(id); !removed.ok()) {
            const std::lock_guard lock(gate.mutex);
            gate.unremoved.emplace(id, removed.error().message);
        }
    }
}

void Outbox::BatchKept(const std::vector<std::string>& ids, const std::vector<Result<>>& outcomes) {
    keeping_ = false;
    for (size_t i = 0; i < ids.size(); ++i) {
        const auto found = items_.find(ids[i]);
        if (found == items_.end()) {
            continue;  // delivered meanwhile
        }
        Item& item = found->second;
        bool changed = false;
        if (outcomes[i].ok()) {
            const std::lock_guard lock(gate_->mutex);
            // Not stored when the server had it first, or when a write here came before.
            item.stored = gate_->stored.contains(ids[i]);
            changed = gate_->unwritten.contains(ids[i]);
            if (item.stored) {
                item.unsaved.clear();
            }
        } else if (!item.stored) {
            Say(services_.log, "the outbox could not keep the mail for " +
                                   OrderName(item.entry.order_id) + ": " +
                                   outcomes[i].error().message);
            item.unsaved = outcomes[i].error().message;
            ArmKeepRetry();
        }
        if (changed) {
            Keep(item);
        }
        if (item.safe) {
            Kept(item);
        }
    }
    RemoveDelivered();  // the entries the keeper could not forget, told by their deliveries
    KeepBatch();
}

void Outbox::Kept(Item& item) {
    // A first attempt under way shows nothing yet: its outcome marks the line, unless it is
    // still under way a moment later (a slow or silent server).
    if (!Running(item.entry.id) || item.tried || !item.unsaved.empty()) {
        ShowLine(item);
    } else {
        services_.post_after(kUnderWayShownAfter, [this, id = item.entry.id] {
            const auto found = items_.find(id);
            if (Running(id) && found != items_.end() && !found->second.tried) {
                ShowLine(found->second);
            }
        });
    }
    if (!item.unsaved.empty()) {
        Journaled(item);
        NotifyUnsaved(item);
        Tell(std::exchange(item.safe, nullptr), item.unsaved);
        return;
    }
    // Behind an earlier mail that waits for a retry, it is not going anywhere soon.
    const auto head = OldestWaiting();
    if (head != items_.end() && &head->second != &item && !Running(head->first)) {
        item.waited = true;
        ++waiting_told_;
        TellWaiting();
    }
    Tell(std::exchange(item.safe, nullptr));
}

void Outbox::TellWaiting() {
    const auto head = OldestWaiting();
    if (head == items_.end()) {
        return;
    }
    services_.notifier.Notify(WaitingNotice(waiting_told_, head->second.entry.order_id,
                                            head->second.entry.reason,
                                            ClockTime(head->second.next_ms)));
}

Outbox::Items::const_iterator Outbox::OldestWaiting() const {
    return std::find_if(items_.begin(), items_.end(),
                        [](const auto& entry) { return !entry.second.entry.failed; });
}

bool Outbox::Running(const std::string& id) const {
    return std::find(running_.begin(), running_.end(), id) != running_.end();
}

bool Outbox::AnyWaiting() const {
    return OldestWaiting() != items_.end();
}

void Outbox::MarkFailed(Item& item, const std::string& reason, const std::string& server_reply) {
    item.entry.failed = true;
    item.entry.reason = reason;
    item.waited = true;
    Keep(item);
    ShowLine(item);
    Journaled(item, server_reply);
    Watched(item, MailOutcome::Kind::kFailed, server_reply);
    Notice failed = FailedNotice(item.entry.order_id, reason, item.unsaved);
    failed.key = FailedNoticeKey(item.entry.id);
    item.told_failed = true;
    services_.notifier.Notify(failed);
    if (waiting_told_ > 0 && !AnyWaiting()) {
        waiting_told_ = 0;  // the outage ends in failures, told as such
        services_.notifier.Withdraw(kWaitingNoticeKey);
    }
}

void Outbox::Journaled(const Item& item, const std::string& server_reply,
                       std::optional<int64_t> delivered_ms,
                       const std::optional<ComposedMail>& composed) {
    if (services_.journal == nullptr) {
        return;
    }
    JournalMailRecord record;
    record.outbox_id = item.entry.id;
    record.at_ms = services_.now_ms();
    record.mail_state = delivered_ms           ? "delivered"
                        : item.entry.failed    ? "failed"
                        : item.unsaved.empty() ? "waiting"
                                               : "unsaved";
    record.reason = delivered_ms ? std::string() : item.entry.reason;
    if (!item.unsaved.empty() && !delivered_ms) {
        record.reason +=
            (record.reason.empty() ? "" : " ") + std::string("Not kept: ") + item.unsaved;
    }
    record.server_reply = server_reply;
    record.delivered_ms = delivered_ms;
    if (composed) {
        record.message_id = composed->message_id;
        record.recipients = JoinedRecipients(*composed);
        record.message = composed->message;
    }
    services_.journal->RecordMail(std::move(record));
}

void Outbox::Watched(const Item& item, MailOutcome::Kind kind, const std::string& server_reply,
                     const std::string& message_id) {
    if (!services_.watch) {
        return;
    }
    MailOutcome outcome;
    outcome.kind = kind;
    outcome.order_id = item.entry.order_id;
    outcome.message_id = !message_id.empty() ? message_id
                         : item.entry.mail   ? item.entry.mail->message_id
                                             : std::string();
    outcome.server_reply = server_reply;
    if (kind != MailOutcome::Kind::kDelivered) {
        outcome.reason = item.entry.reason;
    }
    if (kind == MailOutcome::Kind::kWaiting) {
        outcome.next_attempt_ms = item.next_ms;
    }
    services_.watch(outcome);
}

void Outbox::NotifyUnsaved(const Item& item) {
    services_.notifier.Notify(
        UnsavedNotice(item.entry.order_id, item.unsaved, services_.keep_retry));
}

void Outbox::ArmKeepRetry() {
    if (keep_retry_armed_) {
        return;
    }
    keep_retry_armed_ = true;
    services_.post_after(services_.keep_retry, [this] {
        keep_retry_armed_ = false;
        RemoveDelivered();
        for (auto& [id, item] : items_) {
            if (!item.unsaved.empty()) {
                Keep(item);
                ShowLine(item);
                if (item.unsaved.empty()) {
                    Journaled(item);  // kept at last
                }
            }
        }
    });
}

void Outbox::RemoveDelivered() {
    const std::lock_guard lock(gate_->mutex);
    for (auto left = gate_->unremoved.begin(); left != gate_->unremoved.end();) {
        if (const Result<> removed = services_.store.Remove(left->first); !removed.ok()) {
            left->second = removed.error().message;
            ++left;
        } else {
            left = gate_->unremoved.erase(left);
        }
    }
    if (!gate_->unremoved.empty()) {
        ArmKeepRetry();
    }
}

bool Outbox::Keep(Item& item) {
    const std::lock_guard lock(gate_->mutex);
    if (gate_->delivered.contains(item.entry.id)) {
        return true;  // the server has it; only its outcome is still on the way here
    }
    gate_->unwritten.erase(item.entry.id);  // this write is newer than the keeper's
    if (const auto w = gate_->writing.find(item.entry.id); w != gate_->writing.end()) {
        // The keeper is writing it: it is written again, as it is now, once that has ended.
        w->second = StoreGate::Meanwhile::kChanged;
        return true;
    }
    if (const Result<> saved = services_.store.Save(item.entry); !saved.ok()) {
        Say(services_.log, "the outbox could not keep the mail for " +
                               OrderName(item.entry.order_id) + ": " + saved.error().message);
        item.unsaved = saved.error().message;
        ArmKeepRetry();
        return false;
    }
    gate_->stored.insert(item.entry.id);
    item.stored = true;
    item.unsaved.clear();
    return true;
}

void Outbox::ShowLine(const Item& item) {
    const bool running = Running(item.entry.id);
    const std::string unsafe = item.unsaved.empty()
                                   ? std::string()
                                   : " Not safe: it could not be kept in the outbox (" +
                                         item.unsaved + "), and is in memory only.";
    if (item.entry.failed) {
        line_changed_(item.line, DeliveryState::Failed, "Failed: " + item.entry.reason + unsafe);
    } else if (!item.paced.empty() && !running) {
        const std::string last =
            item.entry.reason.empty() ? "" : " Last reason: " + item.entry.reason;
        line_changed_(item.line, DeliveryState::Waiting,
                      "Waiting: " + item.paced + "." + last + unsafe);
    } else if (item.entry.reason.empty()) {
        line_changed_(
            item.line, DeliveryState::Waiting,
            (running ? "Waiting: being sent now." : "Waiting: mails before it go first.") + unsafe);
    } else {
        const std::string next = running ? "now" : "at " + ClockTime(item.next_ms);
        const std::string late =
            item.late ? " Late: the mails of later orders went before it." : "";
        line_changed_(item.line, DeliveryState::Waiting,
                      "Waiting: next attempt " + next + ". Last reason: " + item.entry.reason +
                          late + unsafe);
    }
}

void Outbox::WakeAt(int64_t ms) {
    const uint64_t generation = ++wake_generation_;
    const auto delay = std::chrono::milliseconds(std::max<int64_t>(0, ms - services_.now_ms()));
    services_.post_after(delay, [this, generation] {
        if (generation == wake_generation_) {
            Pump();
        }
    });
}

void Outbox::TellDelivered() {
    if (delivered_after_wait_ == 0) {
        return;
    }
    Notice delivered =
        DeliveredNotice(std::exchange(delivered_after_wait_, 0), first_delivered_after_wait_);
    if (!AnyWaiting()) {
        waiting_told_ = 0;  // the outage is over: its notice says so
        delivered.key = kWaitingNoticeKey;
    }
    services_.notifier.Notify(delivered);
}

std::string Outbox::NewId() {
    last_id_ms_ = std::max(last_id_ms_, services_.now_ms());
    char text[40];
    std::string id;
    do {
        std::snprintf(text, sizeof text, "%016lld-%08x-%08x", static_cast<long long>(last_id_ms_),
                      ++id_counter_, id_salt_);
        id = text;
    } while (items_.contains(id));
    return id;
}

}  // namespace quillet
