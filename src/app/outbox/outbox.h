// The outbox: every order mail, from its order until the server has accepted it, sent in the
// order the orders came, kept in the store while it waits, tried again on a schedule, and
// shown to the user as it goes.
//
// Lives on the user-interface thread; the attempts run on the mail thread, one at a time, each
// with the live mail settings as they are when it begins. Mails leave first in, first out: a
// mail is attempted only when every earlier one that is not marked failed has been delivered,
// or waits for a retry after holding the later ones for one retry (at most two minutes): such a
// mail is late, the later mails go before it, and it keeps its own schedule; when it goes, its
// text begins with a line saying it was held, and since when. A mail that leaves more than 60 s
// after its order begins with a line that says when the order came. A mail is given up only
// once it has been tried. Mails go at the pace of the account (SendPace): a mail held by its
// limits waits, its line saying why ("paced: 30 a minute", "daily limit of 500 recipients
// reached: goes at 00:00"), and is never refused for them; one notice says when the day's
// recipients reach 90 % of the daily limit; a refusal that asks for a slower pace (SpeaksOfRate)
// holds every mail for a while. When the server takes a mail for some recipients and refuses
// others, the mail goes on for those refused for now alone, the same message at its own
// retries, and holds the later ones no more; those refused for good fail alone and are told
// (RecipientOutcome); its line says which. A mail is marked failed, and tried again only when the
// user asks (SendAgain) or changes the settings (RetryFailed), when an attempt fails in a way that
// trying again cannot mend (SendResult::permanent: a settings error, an unusable server name, a
// refused login, an untrusted certificate, a 5xx reply to MAIL, RCPT or DATA), or when it is still
// undelivered `give_up` after its order.
//
// Safe: a mail is safe once the store has it, or the server has accepted it. Send writes the
// mail to the store at once, beside its attempt, which begins as it would without the write;
// `safe` is told once the write has held (or the server took the mail first, or its attempt
// failed and it was kept then). The writes of the mails sent while one is under way go together
// in the next, with one flush of the disk for them all. A mail the server takes before its
// write begins is never written.
//
// Unsaved: a mail whose entry the store could not write (a full disk) stays in memory, waits
// and is attempted as any other, and its write is tried again every `keep_retry` until it
// holds. Until then its line, the counts, its `safe` and a notification say that it is not safe,
// with the store's reason; it is never said to "be tried again".
//
// Told: the desktop's notifications say when a mail's first attempt fails and when a mail waits
// behind one that failed, in one notice per outage that each such mail replaces (how many, and
// the first); when one is marked failed or refused (critical), and when one is not safe. Mails
// that waited and then got through are told in one notice once the mails stop going out for now
// (none left, or the oldest waits for its retry), naming how many and the first; it replaces
// the outage's notice when no mail waits any more. A failed mail delivered after all withdraws
// its "failed" notice.
//
// Once: a delivered mail's entry leaves the store on the mail thread, right after the server's
// reply and before the next mail's attempt, so that a kill after the server took the mail does
// not leave it to be sent again; a mail that is delivered is never written again.
//
// Together: with the settings' merge_waiting, a mail that has waited goes with the due order
// mails after it, to the same recipients, as one new mail of their lines, oldest first
// (Together); each keeps its own entry, journal row, line and outcome, and one that is left
// waiting goes alone or with others at its next attempt.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/journal/journal.h"
#include "app/outbox/mail_outcome.h"
#include "app/outbox/notifier.h"
#include "app/outbox/outbox_store.h"
#include "app/outbox/recipient_outcome.h"
#include "app/outbox/retry_schedule.h"
#include "app/outbox/send_pace.h"
#include "mail/mail_runner.h"
#include "mail/mail_settings.h"
#include "mail/smtp_transport.h"
#include "support/log_sink.h"

namespace quillet {

// The most mails the outbox holds; a mail beyond it is refused (and shows as failed).
inline constexpr size_t kMaxOutboxEntries = 10000;

struct OutboxServices {
    OutboxStore& store;
    MailRunner& mail;
    SmtpTransport& transport;  // used on the mail thread only
    Notifier& notifier;
    std::function<MailSettings()> live_settings;
    // Runs a task after a delay on the user-interface thread's event loop.
    std::function<void(std::chrono::milliseconds, std::function<void()>)> post_after;
    std::function<int64_t()> now_ms;  // milliseconds since 1970 (UTC)
    RetrySchedule schedule;
    // Where the writes of new mails run, off this thread, one batch at a time; none: each is
    // written at once, on this thread.
    MailRunner* keeper = nullptr;
    // Whether the live settings still wait for their password (from the keyring); meanwhile
    // no attempt begins, and a new mail is composed at its attempt. None: never.
    std::function<bool()> password_pending = nullptr;
    // How often the write of a mail that the store could not keep is tried again; and how long
    // KeepAll goes on trying before it gives such mails up.
    std::chrono::milliseconds keep_retry{std::chrono::seconds(5)};
    std::chrono::milliseconds keep_at_end{std::chrono::seconds(10)};
    // Told of each mail sent with a journal row, and of every change of its state; none: nothing
    // is journaled.
    Journal* journal = nullptr;
    // Told why a mail was not sent, kept or forgotten, and of mails lost.
    LogSink log = nullptr;
    // Told of every outcome of an attempt (delivered, waiting for a retry, marked failed), and
    // of a mail refused or failed without one; none: nobody watches.
    std::function<void(const MailOutcome&)> watch = nullptr;
    // Whether events already read wait to be handled; none: never. While they do, the write of
    // new mails waits for them, so that their mails share its flush of the disk: for at most
    // kMostKeptTogether mails and kMostKeepWait.
    std::function<bool()> more_coming = nullptr;
};

// The most new mails a write waits for while events wait to be handled, and the longest it waits.
inline constexpr size_t kMostKeptTogether = 256;
inline constexpr std::chrono::milliseconds kMostKeepWait{20};

struct OutboxCounts {
    int32_t waiting = 0;    // not yet delivered, and not marked failed: under way included
    int32_t failed = 0;     // marked failed, and those the full outbox refused
    int32_t delivered = 0;  // order mails delivered since start
    int32_t unsaved = 0;    // of the waiting and failed: those the store could not keep
    int32_t partly = 0;     // of the waiting and failed: those some recipients have already
};

class Outbox {
  public:
    // Told when a mail changes state, once Counts has taken the change: `line` is its order
    // line (none for a mail kept from an earlier run), `detail` the line's tip text.
    using LineChanged = std::function<void(std::optional<size_t> line, DeliveryState state,
                                           const std::string& detail)>;
    // Told the outcome of each mail's first attempt (or of its refusal before one).
    using FirstOutcome = std::function<void(const SendResult& result)>;
    // Told once a mail is safe, or as safe as it can be made: `unsaved` is empty, or the
    // store's reason why the mail is in memory only ("cannot write ...: No space left on
    // device").
    using Safe = std::function<void(const std::string& unsaved)>;

    Outbox(OutboxServices services, LineChanged line_changed, FirstOutcome first_outcome);
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Takes in the entries the store kept, and tries them at once, oldest first.
    void Start();

    // Takes the mail of order `order_id` (shown on order line `line`, if any), composed now of
    // `subject` and `body` with `settings`, writes it to the store and sends it after every
    // mail before it. Settings that do not allow composing it, or a full outbox, make it failed
    // at once. `safe` (may be empty) is told once, as said above; for a mail that is refused or
    // failed at once, once that is known and kept; for one the store could not write, with the
    // store's reason as `unsaved`. A full outbox keeps the mail nowhere: `safe` is told its
    // reason ("The outbox is full (10000 mails): ...") as `unsaved`.
    // With `journal_row`, the journal is given that row, completed with the mail, before any
    // state of the mail, and then every state it takes. With `message_id_left`, the mail's
    // Message-ID is the one it makes with the sender address (MessageIdOf), whenever it is
    // composed, kept or not; without, a new one. With `in_reply_to`, the mail follows the mail of
    // that Message-ID (In-Reply-To and References), whenever it is composed. With `send_to`, the
    // mail goes to those recipient entries at every attempt (their settings' recipients are
    // `settings`'); without, to the live settings' recipients, as they are at each attempt. With
    // `attachment`, the mail carries it (BuildMessage), and so does its entry in the store.
    void Send(std::optional<size_t> line, const std::string& order_id, const std::string& subject,
              const std::string& body, const MailSettings& settings, Safe safe,
              std::optional<JournalEventRecord> journal_row = std::nullopt,
              const std::string& message_id_left = {}, const std::string& in_reply_to = {},
              const std::vector<std::string>& send_to = {},
              std::optional<MailAttachment> attachment = std::nullopt);

    // Goes on with the next mail: the password came (password_pending turned false).
    void Resume() { Pump(); }
    // The waiting mails at once (a test message got through).
    void RetryWaiting();
    // Every failed mail again, in its place (the settings changed).
    void RetryFailed();
    // The mail of order line `line` again at once, waiting or failed; nothing when it has none.
    void SendAgain(size_t line);
    // Writes every mail not yet in the store to it, and tells their `safe`: for the end of the
    // program, after which the mails go out at the next start. A write that fails is tried again
    // for up to `keep_at_end`; the mails still not kept then are lost: they are named on standard
    // error and in a notification, and their order ids given back, oldest first. A mail the
    // server has taken, whose outcome has not reached this thread yet, is safe, not lost.
    // Once this has given mails up, it tries no more and tells nobody again.
    std::vector<std::string> KeepAll();
    // The same for a shutdown, without holding the event loop: while mails are not kept, the
    // waiting mails are tried at once and the writes every keep_retry / 10 (at least 50 ms),
    // for up to `keep_at_end`, so that a mail the server takes meanwhile is not lost; while
    // mails are going out (an attempt is under way), they go on for as long too, so that the
    // last orders' mails do not wait for the next start. Then `then` gets KeepAll's lost order
    // ids. When every mail is kept and none is under way, `then` runs at once.
    void KeepAllThen(std::function<void(std::vector<std::string> lost)> then);

    OutboxCounts Counts() const;

  private:
    struct Item {
        OutboxEntry entry;
        std::optional<size_t> line;
        int64_t next_ms = 0;        // when the mail may be tried next
        bool tried = false;         // its first attempt has ended (or it came from the store)
        bool stored = false;        // the store has it
        bool waited = false;        // it was told waiting: kept from a run, or held back
        int64_t held_since_ms = 0;  // when its first attempt of this run failed
        bool late = false;          // later mails went before it
        Safe safe;                  // told once the mail is safe
        std::string unsaved;        // why the store could not keep it; empty once it has
        bool told_failed = false;   // its "failed" notice may still be on the desktop
        std::string paced;          // why the account's pace holds it now; empty: it does not
    };
    using Items = std::map<std::string, Item>;  // by id, so oldest first

    // What the store holds, shared with the mail thread: every use of the store is under its
    // lock, so that a mail the server took is never written again after its removal.
    struct StoreGate {
        std::mutex mutex;
        std::set<std::string> stored;     // ids of the entries the store has
        std::set<std::string> delivered;  // ids taken by the server, not yet seen here
        // New mails whose write the keeper is still to make: a delivery, or a write made here
        // meanwhile, takes a mail off, and the keeper writes only those still on.
        std::set<std::string> unwritten;
        // The keeper's writes under way (the lock is not held while the keeper writes), with
        // what came meanwhile: the server took the mail (the keeper forgets the entry it
        // wrote), or the mail changed (it is written again once the keeper's write has ended).
        enum class Meanwhile { kNothing, kDelivered, kChanged };
        std::map<std::string, Meanwhile> writing;
        // Entries of delivered mails the store could not forget, with the reason.
        std::map<std::string, std::string> unremoved;
    };

    void Pump();
    // Whether `item`, which waits for a retry, still holds the mails after it: until its first
    // retry, and for at most two minutes.
    bool Holds(const Item& item, int64_t now) const;
    // The first line of `item`'s text when it goes at `now`: for a mail that leaves more than
    // 60 s after its order, "Sent late: the order event came at 14:03:07 (UTC+01:00), 12 min
    // before this mail.", and for one that later mails went before, why; else empty.
    static std::string LateLine(const Item& item, int64_t now);
    // The mails that go with `head` at `now`: it alone, or, when the settings merge waiting
    // mails and it has waited, it and the due ones after it that merge with it (MergesWith),
    // up to the first that does not (the failed ones left aside), at most kMostMerged.
    std::vector<Item*> Together(Items::iterator head, const MailSettings& settings, int64_t now);
    // Sends `group` (Together's) on the mail thread with `settings`, the live ones as Pump read
    // them: its one mail alone, or a new mail of all its lines (MergedSubject, MergedBody).
    void Attempt(const std::vector<Item*>& group, MailSettings settings);
    // The mail thread's part of a mail the server took: its entry leaves the store (or is never
    // written), before the next mail goes.
    static void Forget(OutboxStore& store, StoreGate& gate, const std::string& id);
    // The attempt of the mails `ids` has ended: each takes its outcome, then the next goes.
    void AttemptDone(const std::vector<std::string>& ids, SendResult result);
    // What the attempt's `result` (`split` by recipient) makes of the mail at `found`, which went
    // `together` with others or alone: delivered and forgotten, waiting (until `retry_at`, when
    // given) or failed. Gives back its `safe` to tell, with the reason it is not safe, once the
    // next attempt has begun.
    std::pair<Safe, std::string> Outcome(Items::iterator found, const SendResult& result,
                                         const std::optional<RecipientOutcome>& split,
                                         bool together, std::optional<int64_t> retry_at);
    // The account's pace after an attempt: the recipients the server took, counted (with one
    // notice at 90 % of the daily limit), or a slower pace when it asked for one.
    void Paced(const SendResult& result, const std::optional<RecipientOutcome>& split);
    // `item` waits for its retry, for `reason`: its schedule's, or `retry_at`.
    void Wait(Item& item, const std::string& reason, const std::string& server_reply,
              const std::optional<ComposedMail>& new_mail, bool first,
              std::optional<int64_t> retry_at = std::nullopt);
    // `reason`, after "delivered to 4 of 5; " for a mail that some recipients have already.
    static std::string Partly(const Item& item, const std::string& reason);
    // The server took `item` for some recipients and refused others: it goes on for those
    // refused for now, and those refused for good are told; when none waits, it is failed for
    // those refused for good.
    void ByRecipient(Item& item, const RecipientOutcome& split, const std::string& server_reply,
                     const std::optional<ComposedMail>& new_mail, bool first);
    // The mail thread's part of a mail the server took for some recipients only: the store's
    // entry (or the one the keeper is still to write) names only those it has still to reach,
    // before the next mail goes.
    static void KeepUndelivered(OutboxStore& store, StoreGate& gate, OutboxEntry entry,
                                const ComposedMail& sent, const RecipientOutcome& split);
    // Writes a new mail to the store: at once without a keeper; else with the next batch.
    void KeepNew(Item& item);
    // Gives the keeper the mails waiting for their write, as one batch, unless one is under way
    // or events wait to be handled (more_coming) within the bounds said there: then once they
    // have been.
    void KeepBatch();
    // The keeper's work: writes those of `entries` still to be written, each outcome in
    // `outcomes`, in their order.
    static void WriteBatch(OutboxStore& store, StoreGate& gate,
                           const std::vector<OutboxEntry>& entries,
                           std::vector<Result<>>& outcomes);
    // The batch of `ids` is written, each with its outcome.
    void BatchKept(const std::vector<std::string>& ids, const std::vector<Result<>>& outcomes);
    // A new mail's write has ended: its line, its `safe`, and a notice when it is not safe or
    // waits behind a mail that waits for a retry.
    void Kept(Item& item);
    void MarkFailed(Item& item, const std::string& reason, const std::string& server_reply = {});
    // Tells the journal of the state `item` is in now (mail_state ""), when there is a journal.
    void Journaled(const Item& item, const std::string& server_reply = {},
                   std::optional<int64_t> delivered_ms = std::nullopt,
                   const std::optional<ComposedMail>& composed = std::nullopt);
    // Writes `item` to the store unless it is there or the server has it already. Whether the
    // mail is safe now: kept, or taken by the server (its outcome still on its way here).
    bool Keep(Item& item);
    // KeepAll's work, trying the writes again until `give_up`.
    std::vector<std::string> KeepAllUntil(std::chrono::steady_clock::time_point give_up);
    // A step of KeepAllThen.
    void KeepStep(std::chrono::steady_clock::time_point give_up,
                  std::function<void(std::vector<std::string>)> then);
    // Tries the writes that failed again, every keep_retry while one still fails.
    void ArmKeepRetry();
    void NotifyUnsaved(const Item& item);
    // Tells the watcher, when there is one, what became of `item`.
    // `message_id`: the mail it went in, when that is not its own.
    void Watched(const Item& item, MailOutcome::Kind kind, const std::string& server_reply,
                 const std::string& message_id = {});
    // Tries again to forget the entries of delivered mails that the store could not.
    void RemoveDelivered();
    void ShowLine(const Item& item);
    void WakeAt(int64_t ms);
    void TellDelivered();
    // The one notice of the outage, with the mails told waiting so far and the first of those
    // that wait now.
    void TellWaiting();
    // The oldest mail not marked failed, which goes first; end() when none is left.
    Items::const_iterator OldestWaiting() const;
    bool AnyWaiting() const;
    std::string NewId();

    OutboxServices services_;
    LineChanged line_changed_;
    FirstOutcome first_outcome_;
    Items items_;
    std::shared_ptr<StoreGate> gate_ = std::make_shared<StoreGate>();
    // The mails whose attempt is under way: one, or those that go together.
    std::vector<std::string> running_;
    bool Running(const std::string& id) const;
    int32_t delivered_ = 0;
    int32_t refused_ = 0;                     // mails the full outbox refused
    int32_t delivered_after_wait_ = 0;        // not yet told to the user
    std::string first_delivered_after_wait_;  // the order of the first of them
    int32_t waiting_told_ = 0;  // the mails the outage's notice has counted, until it ends
    uint64_t wake_generation_ = 0;
    SendPace pace_;
    std::vector<std::string> to_keep_;  // new mails waiting for the next batch, oldest first
    bool keeping_ = false;              // a batch is being written
    bool batch_posted_ = false;         // KeepBatch is to run on a later pass
    // Since when the next batch has waited for events to be handled; none: it has not.
    std::optional<std::chrono::steady_clock::time_point> batch_waits_since_;
    bool keep_retry_armed_ = false;
    bool gave_up_ = false;    // KeepAll gave mails up: they are lost, and were told so
    int64_t last_id_ms_ = 0;  // ids never go back in time, even when the clock does
    uint32_t id_counter_ = 0;
    // Part of every id, drawn for each outbox: two programs whose outboxes share a journal
    // (settings files in one folder) make ids that differ even within one millisecond.
    const uint32_t id_salt_;
};

}  // namespace quillet
