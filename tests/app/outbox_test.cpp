#include "app/outbox/outbox.h"
#include "app/outbox/outbox_format.h"
#include "app/outbox/outbox_notices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <regex>
#include <tuple>

#include "mail/mail_worker.h"
#include "support/mail_doubles.h"

namespace quillet {
namespace {

using std::chrono::milliseconds;
using test::MemoryStore;
using test::Notes;

// Answers each delivery from `results` in turn (success past the end); while closed, a
// delivery waits until it opens.
struct ScriptedTransport : SmtpTransport {
    SmtpResult Deliver(const SmtpDelivery& delivery) override {
        std::unique_lock lock(mutex);
        opened.wait(lock, [this] { return open; });
        delivered.push_back(delivery);
        return delivered.size() <= results.size() ? results[delivered.size() - 1] : SmtpResult{};
    }
    void Open(bool now) {
        const std::lock_guard lock(mutex);
        open = now;
        opened.notify_all();
    }
    std::vector<std::string> Subjects() {
        const std::lock_guard lock(mutex);
        std::vector<std::string> subjects;
        for (const SmtpDelivery& d : delivered) {
            const size_t at = d.message.find("Subject: ");
            subjects.push_back(d.message.substr(at + 9, d.message.find('\r', at) - at - 9));
        }
        return subjects;
    }
    std::mutex mutex;
    std::condition_variable opened;
    bool open = true;
    std::vector<SmtpResult> results;
    std::vector<SmtpDelivery> delivered;
};

const SmtpResult kDown{7, "server down", false};

// The mail records journaled, on the thread that runs the outbox.
struct RecordedJournal : Journal {
    void RecordEvent(JournalEventRecord) override {}
    void RecordMail(JournalMailRecord record) override { mails.push_back(std::move(record)); }
    std::vector<JournalMailRecord> mails;
};

OutboxServices Journaling(OutboxServices services, Journal& journal,
                          std::function<bool()> more_coming) {
    services.journal = &journal;
    services.more_coming = std::move(more_coming);
    return services;
}

// A notice as the tests expect it, its retry times masked: "[order, critical] summary | body".
std::string Told(const Notice& notice) {
    const std::string text = "[" + notice.order_id +
                             (notice.urgency == NoticeUrgency::Critical ? ", critical] " : "] ") +
                             notice.summary + " | " + notice.body;
    return std::regex_replace(text, std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2}"), "hh:mm:ss");
}

// The outbox with the user-interface thread's loop run by hand: tasks posted from the real
// mail thread, and timers that fire when the clock passes them.
struct Fixture {
    // Without `keeper`, each new mail is written at once, within Send.
    explicit Fixture(MailRunner* keeper = nullptr) : keeper(keeper) { outbox.Start(); }
    ~Fixture() { transport.Open(true); }
    void Post(std::function<void()> task) {
        const std::lock_guard lock(mutex);
        posted.push_back(std::move(task));
        arrived.notify_all();
    }
    // Waits for `count` outcomes of the mail thread to be handed back, without taking them.
    bool AwaitWorkerResults(std::unique_lock<std::mutex>& lock, size_t count) {
        return arrived.wait_for(lock, std::chrono::seconds(10),
                                [this, count] { return posted.size() >= count; });
    }
    void RunWorkerResults(size_t count) {
        for (size_t i = 0; i < count; ++i) {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(AwaitWorkerResults(lock, 1));
            auto task = std::move(posted.front());
            posted.pop_front();
            lock.unlock();
            task();
        }
    }
    void Advance(milliseconds by) {
        now += by.count();
        for (auto it = timers.begin(); it != timers.end() && it->first <= now;) {
            auto task = std::move(it->second);
            it = timers.erase(it);
            task();
        }
    }
    // Order `n`'s mail on line n; `safe` counts its reply.
    void Send(size_t n) {
        outbox.Send(n, std::to_string(n), "CVT order # " + std::to_string(n), "line", settings,
                    [this, n](const std::string& unsaved) {
                        ++safe[n];
                        unsaved_notes[n] = unsaved;
                    });
    }

    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::function<void()>> posted;
    std::multimap<int64_t, std::function<void()>> timers;
    int64_t now = 1'700'000'000'000;
    MemoryStore store;
    ScriptedTransport transport;
    Notes notes;
    MailWorker worker{[this](std::function<void()> task) { Post(std::move(task)); }};
    MailSettings settings{"Desk", "desk@x.com", "127.0.0.1", "25", 0, 0, "", "", {"broker@x.com"}};
    std::map<size_t, DeliveryState> lines;  // DeliveryState::None until told
    std::map<size_t, std::string> details;  // each line's tip, as last told
    std::vector<std::tuple<DeliveryState, int32_t, int32_t>> told_counts;  // waiting, delivered
    std::map<size_t, int> safe;
    std::map<size_t, std::string> unsaved_notes;  // what each reply said of an unsaved mail
    std::vector<std::string> first_outcomes;
    bool password_pending = false;
    bool more_coming = false;  // events already read wait to be handled
    RecordedJournal journal;
    MailRunner* keeper;
    Outbox outbox{
        Journaling(OutboxServices{store, worker, transport, notes, [this] { return settings; },
                                  [this](milliseconds delay, std::function<void()> task) {
                                      timers.emplace(now + delay.count(), std::move(task));
                                  },
                                  [this] { return now; }, RetrySchedule{}, keeper,
                                  [this] { return password_pending; }, std::chrono::seconds(5),
                                  milliseconds(300)},
                   journal, [this] { return more_coming; }),
        [this](std::optional<size_t> line, DeliveryState state, const std::string& detail) {
            if (line) {
                lines[*line] = state;
                details[*line] = detail;
            }
            // What the tray shows, read when it is told.
            told_counts.emplace_back(state, outbox.Counts().waiting, outbox.Counts().delivered);
        },
        [this](const SendResult& r) { first_outcomes.push_back(r.ok() ? "sent" : r.reason); }};
};

TEST(OutboxTest, MailsLeaveInOrderAndTheReplyComesOnceTheMailIsKept) {
    Fixture f;
    // The reply goes once the mail is written, beside its attempt (or once the server has it,
    // when that came first); the delivery removes it.
    f.Send(1);
    EXPECT_EQ(f.safe[1], 1);
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[1], DeliveryState::Delivered);
    EXPECT_TRUE(f.store.entries.empty());

    // A stalled attempt holds no reply: the mail is kept, and soon shown waiting; the attempt
    // goes on.
    f.transport.Open(false);
    f.Send(2);
    EXPECT_EQ(f.safe[2], 1);
    EXPECT_EQ(f.store.entries.size(), 1u);
    EXPECT_EQ(f.lines.count(2), 0u);
    f.Advance(milliseconds(250));
    EXPECT_EQ(f.lines[2], DeliveryState::Waiting);

    // It fails; a new mail waits behind it, kept at the bound, and overtakes nothing.
    f.transport.results = {{}, kDown};
    f.transport.Open(true);
    f.RunWorkerResults(1);
    EXPECT_EQ(f.safe[2], 1);  // told once
    f.Send(3);
    EXPECT_EQ(f.safe[3], 1);
    EXPECT_EQ(f.store.entries.size(), 2u);
    f.settings.server = "mail.example.com";  // the retry takes the settings of its moment
    f.Advance(std::chrono::seconds(10));
    f.RunWorkerResults(2);
    EXPECT_EQ(f.transport.Subjects(), (std::vector<std::string>{"CVT order # 1", "CVT order # 2",
                                                                "CVT order # 2", "CVT order # 3"}));
    EXPECT_EQ(f.transport.delivered.back().host, "mail.example.com");
    EXPECT_EQ(f.told_counts.back(), std::tuple(DeliveryState::Delivered, 0, 3));    // by a retry
    EXPECT_EQ(f.transport.delivered[2].message, f.transport.delivered[1].message);  // as composed
    EXPECT_TRUE(f.store.entries.empty());
    EXPECT_EQ(f.first_outcomes, (std::vector<std::string>{"sent", "server down", "sent"}));
    // Told in whole sentences; the mails that waited, as one once they are through.
    std::vector<std::string> told;
    std::ranges::transform(f.notes.notices, std::back_inserter(told), Told);
    EXPECT_EQ(told, (std::vector<std::string>{
                        "[2] Order mail for order 2 not sent yet | Server down. It will be tried "
                        "again at hh:mm:ss.",
                        "[2] 2 order mails not sent yet | The first, for order 2, was not sent. "
                        "Server down. It will be tried again at hh:mm:ss, and the others after it.",
                        "[2] 2 order mails delivered | The mails for order 2 and 1 more reached "
                        "the server."}));
    // One notice for the outage, each replacing the one before.
    for (const Notice& notice : f.notes.notices) {
        EXPECT_EQ(notice.key, kWaitingNoticeKey) << notice.summary;
    }

    // A kept mail that the server takes leaves the store on the mail thread, before its
    // outcome comes here: a kill in between must not leave it to be sent again.
    f.transport.Open(false);
    f.Send(4);
    ASSERT_EQ(f.store.entries.size(), 1u);
    f.transport.Open(true);
    {
        std::unique_lock lock(f.mutex);
        ASSERT_TRUE(
            f.arrived.wait_for(lock, std::chrono::seconds(10), [&f] { return !f.posted.empty(); }));
    }
    EXPECT_TRUE(f.store.entries.empty());
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[4], DeliveryState::Delivered);
}

// Jobs held until the test runs them, here: the outbox's writer at the test's pace.
struct HeldJobs : MailRunner {
    void Submit(std::function<SendResult()> job, std::function<void(SendResult)> done) override {
        held.emplace_back(std::move(job), std::move(done));
    }
    void RunOne() {
        auto [job, done] = std::move(held.front());
        held.pop_front();
        done(job());
    }
    std::deque<std::pair<std::function<SendResult()>, std::function<void(SendResult)>>> held;
};

// The mails of orders that come while a write is under way go in the next write, with one
// flush for them all; each reply waits for its own mail's write, and they keep their order. A
// mail the server takes before its write begins is not written at all. While events already read
// wait to be handled, a write waits for their mails.
TEST(OutboxTest, MailsThatComeWhileAWriteIsUnderWayAreWrittenTogether) {
    HeldJobs writes;
    Fixture f(&writes);
    f.transport.Open(false);  // the attempts stall: only the writes make the mails safe
    for (size_t n = 1; n <= 5; ++n) {
        f.Send(n);
    }
    EXPECT_EQ(f.safe[1], 0);
    writes.RunOne();
    EXPECT_EQ(f.safe[1], 1);
    EXPECT_EQ(f.safe[2], 0);
    writes.RunOne();
    EXPECT_EQ(f.store.batches, 2);
    EXPECT_EQ(f.store.entries.size(), 5u);
    EXPECT_EQ(f.safe, (std::map<size_t, int>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}));
    EXPECT_TRUE(writes.held.empty());

    f.transport.Open(true);
    f.RunWorkerResults(5);
    EXPECT_TRUE(f.store.entries.empty());
    f.Send(6);
    {
        std::unique_lock lock(f.mutex);
        ASSERT_TRUE(f.AwaitWorkerResults(lock, 1));  // delivered, its outcome on the way here
    }
    writes.RunOne();
    EXPECT_EQ(f.safe[6], 1);
    EXPECT_EQ(f.store.saves, 5);
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[6], DeliveryState::Delivered);
    EXPECT_TRUE(f.store.entries.empty());

    // While events already read wait to be handled, the write waits for their mails too.
    f.transport.Open(false);
    f.more_coming = true;
    for (size_t n = 7; n <= 9; ++n) {
        f.Send(n);
    }
    f.Advance(milliseconds(0));
    EXPECT_TRUE(writes.held.empty());
    f.more_coming = false;
    f.Advance(milliseconds(0));
    writes.RunOne();
    EXPECT_EQ(f.store.entries.size(), 3u);
    EXPECT_EQ(f.safe, (std::map<size_t, int>{
                          {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}}));
    EXPECT_TRUE(writes.held.empty());
}

TEST(OutboxTest, AMailWaitsForThePasswordTheKeyringIsAskedFor) {
    Fixture f;
    f.password_pending = true;
    f.settings.auth_required = 1;
    f.settings.account_name = "trader";  // and no password yet
    f.Send(1);
    EXPECT_EQ(f.safe[1], 1);  // kept, so the reply goes
    EXPECT_EQ(f.lines[1], DeliveryState::Waiting);
    EXPECT_TRUE(f.transport.delivered.empty());
    f.settings.password = "s3cret";
    f.password_pending = false;
    f.outbox.Resume();
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[1], DeliveryState::Delivered);
    EXPECT_EQ(f.transport.delivered.at(0).password, "s3cret");
    // Composed only now: the journal learns the mail as sent, its recipients too.
    ASSERT_FALSE(f.journal.mails.empty());
    EXPECT_EQ(f.journal.mails.back().mail_state, "delivered");
    EXPECT_EQ(f.journal.mails.back().recipients, "broker@x.com");
    EXPECT_NE(f.journal.mails.back().message.find("\r\n\r\nline"), std::string::npos);
}

TEST(OutboxTest, AFailedMailSentAgainWaitsAfterATemporaryErrorAndADayIsTheLimit) {
    Fixture f;
    f.transport.results = {SmtpResult{67, "Login denied", true}, kDown};
    f.Send(0);
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[0], DeliveryState::Failed);
    f.Advance(std::chrono::hours(1));
    EXPECT_EQ(f.transport.delivered.size(), 1u);  // no timer tries it
    // The settings changed; the server is down now: the mail waits, and is tried again.
    f.outbox.RetryFailed();
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[0], DeliveryState::Waiting);
    f.Advance(std::chrono::seconds(30));
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[0], DeliveryState::Delivered);
    // Its "failed" notice is taken off the desktop.
    ASSERT_FALSE(f.notes.notices.empty());
    EXPECT_EQ(f.notes.notices[0].urgency, NoticeUrgency::Critical);
    EXPECT_EQ(f.notes.withdrawn, std::vector<std::string>{f.notes.notices[0].key});

    // One that never gets through is marked failed a day after its order.
    f.transport.results.resize(1000, kDown);
    f.Send(1);
    f.RunWorkerResults(1);
    for (int i = 0; i < 24 * 12 + 5 && f.lines[1] != DeliveryState::Failed; ++i) {
        f.Advance(std::chrono::minutes(5));
        if (f.lines[1] != DeliveryState::Failed) {
            f.RunWorkerResults(1);
        }
    }
    EXPECT_EQ(f.lines[1], DeliveryState::Failed);
    EXPECT_EQ(f.notes.seen.back(),
              "Order mail for order 1 failed | Not delivered within 24 hours. Server down. It is "
              "sent again when the settings change, or with Send Again.");
}

// A mail the server keeps refusing for a while holds the later ones for one retry only; then
// they go, and it keeps its own schedule, marked late. When it goes at last, its text begins
// with a line saying it was held.
TEST(OutboxTest, AMailThatKeepsWaitingHoldsTheLaterOnesForOneRetryOnly) {
    Fixture f;
    f.transport.results = {kDown, kDown, {}, {}, kDown, {}};  // 1 twice, 2, 3, 1 twice
    f.Send(1);
    f.RunWorkerResults(1);
    f.Send(2);
    f.Send(3);
    f.Advance(std::chrono::seconds(9));
    EXPECT_EQ(f.transport.Subjects(), std::vector<std::string>{"CVT order # 1"});  // held
    f.Advance(std::chrono::seconds(1));
    f.RunWorkerResults(1);  // its retry fails: the later ones go
    f.RunWorkerResults(2);
    EXPECT_EQ(f.lines[2], DeliveryState::Delivered);
    EXPECT_EQ(f.lines[3], DeliveryState::Delivered);
    EXPECT_EQ(f.lines[1], DeliveryState::Waiting);
    f.Advance(std::chrono::seconds(30));
    f.RunWorkerResults(1);
    f.Advance(std::chrono::minutes(1));
    f.RunWorkerResults(1);
    EXPECT_EQ(f.transport.Subjects(),
              (std::vector<std::string>{"CVT order # 1", "CVT order # 1", "CVT order # 2",
                                        "CVT order # 3", "CVT order # 1", "CVT order # 1"}));
    EXPECT_EQ(f.lines[1], DeliveryState::Delivered);
    const std::string& late = f.transport.delivered.back().message;
    EXPECT_NE(late.find("\r\n\r\nSent late: the order event came at "), std::string::npos) << late;
    EXPECT_EQ(late.find("Sent late", late.find("Sent late") + 1), std::string::npos) << late;
    EXPECT_NE(
        late.find("before this mail. It was held while the server did not take it, and the mails "
                  "of later orders went first.\r\nline"),
        std::string::npos)
        << late;
}

// The account's limits hold the mails beyond them, saying why, until the pace allows; they are
// never refused. A server that asks for a slower pace holds every mail for a while.
TEST(OutboxTest, MailsGoAtTheAccountsPace) {
    const SmtpResult rate{7, "refused", false, "451 4.7.1 Too many messages, slow down"};
    const struct {
        const char* name;
        int32_t per_minute, per_day;
        std::vector<SmtpResult> results;  // of the attempts in turn
        std::chrono::seconds held;        // how long the third mail waits
        const char* tip;
        const char* told = "";  // a notice
    } cases[] = {
        {"a minute", 2, 0, {}, std::chrono::seconds(60), "Waiting: paced: 2 a minute."},
        {"a day",
         0,
         2,
         {},
         std::chrono::hours(1),
         "Waiting: daily limit of 2 recipients reached: goes at 00:00.",
         "Daily sending limit nearly reached | 2 of the 2 recipients a day that the account may "
         "mail are used today."},
        {"slower",
         0,
         0,
         {{}, {}, rate},
         std::chrono::seconds(30),
         "Waiting: paced: the server asked for a slower pace. Last reason: refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        std::tm eleven_pm{};
        eleven_pm.tm_hour = 23;
        eleven_pm.tm_mday = 10;
        eleven_pm.tm_mon = 11;
        eleven_pm.tm_year = 126;
        eleven_pm.tm_isdst = -1;
        f.now = static_cast<int64_t>(std::mktime(&eleven_pm)) * 1000;  // an hour to midnight
        f.settings.per_minute = c.per_minute;
        f.settings.per_day = c.per_day;
        f.transport.results = c.results;
        f.Send(1);
        f.Send(2);
        f.RunWorkerResults(2);
        f.Send(3);
        f.RunWorkerResults(c.results.size() > 2 ? 1 : 0);
        f.Advance(std::chrono::seconds(c.held) - std::chrono::seconds(1));
        EXPECT_EQ(f.transport.delivered.size(), c.results.size() > 2 ? 3u : 2u);
        EXPECT_EQ(f.lines[3], DeliveryState::Waiting);
        EXPECT_EQ(f.details[3].rfind(c.tip, 0), 0u) << f.details[3];
        EXPECT_EQ(f.store.entries.size(), 1u);
        f.Advance(std::chrono::seconds(1));
        f.RunWorkerResults(1);
        EXPECT_EQ(f.lines[3], DeliveryState::Delivered);
        if (*c.told != '\0') {
            EXPECT_TRUE(std::ranges::any_of(
                f.notes.seen, [&](const std::string& seen) { return seen.rfind(c.told, 0) == 0; }));
        }
        // Held by the pace, it waited, and is told with those that waited and got through.
        EXPECT_EQ(f.notes.seen.back(),
                  "Order mail for order 3 delivered | The mail for order 3 reached the server.");
    }
}

// A full disk: the mail stays in memory, and everything that tells of it says it is not safe
// (never that it "will be tried again") until a later write holds; at the end, what is still
// not kept is named as lost.
TEST(OutboxTest, AMailTheDiskCannotTakeIsToldUnsafeUntilAWriteHolds) {
    Fixture f;
    const std::string full = "cannot write x.mail: No space left on device";
    f.store.save_error = full;
    f.transport.results = {kDown};
    f.Send(1);
    f.RunWorkerResults(1);
    EXPECT_EQ(f.unsaved_notes[1], full);
    EXPECT_EQ(f.outbox.Counts().unsaved, 1);
    EXPECT_EQ(f.lines[1], DeliveryState::Waiting);
    ASSERT_FALSE(f.journal.mails.empty());
    EXPECT_EQ(f.journal.mails.back().mail_state, "unsaved");
    EXPECT_NE(f.journal.mails.back().reason.find("Not kept: " + full), std::string::npos);
    EXPECT_EQ(
        f.notes.seen.back().rfind("Order mail for order 1 not safe | It could not be kept", 0), 0u);
    for (const std::string& note : f.notes.seen) {
        EXPECT_EQ(note.find("tried again"), std::string::npos) << note;
    }

    f.store.save_error.reset();  // room again: the next write holds
    f.Advance(std::chrono::seconds(5));
    EXPECT_EQ(f.store.entries.size(), 1u);
    EXPECT_EQ(f.outbox.Counts().unsaved, 0);

    f.store.save_error = full;
    f.transport.Open(false);
    f.Send(2);  // waits behind order 1, and cannot be kept either
    EXPECT_EQ(f.unsaved_notes[2], full);
    EXPECT_EQ(f.outbox.KeepAll(), std::vector<std::string>{"2"});
    EXPECT_EQ(f.notes.seen.back().rfind("Order mails lost | The mails of order 2 ", 0), 0u);
    EXPECT_EQ(f.notes.notices.back().urgency, NoticeUrgency::Critical);
}

// A recipient the server refused, mended in the settings: the failed mail sent again goes to
// the mended address, from the sender as it is now, with the same Date, Message-ID and text.
TEST(OutboxTest, AMailSentAgainGoesFromAndToTheSettingsOfThatMoment) {
    Fixture f;
    f.transport.results = {SmtpResult{8, "550 no such user", true}};
    f.Send(1);
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[1], DeliveryState::Failed);
    f.settings.display_name = "Desk 2";
    f.settings.send_to = {"Doe, John <john@y.com>"};
    f.outbox.RetryFailed();
    f.RunWorkerResults(1);
    ASSERT_EQ(f.transport.delivered.size(), 2u);
    const std::string& first = f.transport.delivered[0].message;
    const std::string& again = f.transport.delivered[1].message;
    EXPECT_EQ(f.transport.delivered[1].recipients, std::vector<std::string>{"john@y.com"});
    EXPECT_EQ(again.substr(0, again.find("\r\n")), "From: Desk 2 <desk@x.com>");
    EXPECT_EQ(again.substr(again.find("\r\n")), first.substr(first.find("\r\n")));
    EXPECT_EQ(f.lines[1], DeliveryState::Delivered);
    EXPECT_EQ(f.journal.mails.back().recipients, "john@y.com");
}

// The end comes once the server has taken a mail, before its outcome is back on this thread:
// the mail is not lost.
TEST(OutboxTest, AMailTheServerTookBeforeTheEndIsNotLost) {
    Fixture f;
    f.Send(1);
    {
        std::unique_lock lock(f.mutex);
        ASSERT_TRUE(f.AwaitWorkerResults(lock, 1));
    }
    EXPECT_EQ(f.outbox.KeepAll(), std::vector<std::string>{});
    EXPECT_EQ(f.safe[1], 1);
    EXPECT_TRUE(f.notes.seen.empty());
}

// A delivered mail whose entry the store cannot forget (a read-only folder) would go again at
// the next start: the user is told, and the removal is tried again until it holds.
TEST(OutboxTest, ADeliveredMailTheStoreCannotForgetIsToldAndRemovedLater) {
    Fixture f;
    f.transport.Open(false);
    f.Send(1);
    ASSERT_EQ(f.store.entries.size(), 1u);
    f.store.remove_error = "cannot remove 1.mail: Read-only file system";
    f.transport.Open(true);
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[1], DeliveryState::Delivered);
    const auto told =
        std::find_if(f.notes.notices.begin(), f.notes.notices.end(),
                     [](const Notice& n) { return n.urgency == NoticeUrgency::Critical; });
    ASSERT_NE(told, f.notes.notices.end());
    EXPECT_EQ(Told(*told),
              "[1, critical] Order mail for order 1 delivered, still in the outbox | The mail for "
              "order 1 reached the server, but could not be taken out of the outbox. Cannot "
              "remove 1.mail: Read-only file system. Quillet tries again; until it can, the next "
              "start would send this mail again.");
    EXPECT_EQ(f.store.entries.size(), 1u);
    f.store.remove_error.reset();
    f.Advance(std::chrono::seconds(5));
    EXPECT_TRUE(f.store.entries.empty());
}

// Two programs whose settings files share a folder share its journal, which finds a mail's
// event by the outbox's id: ids made in the same millisecond still differ.
TEST(OutboxTest, TwoOutboxesNeverMakeTheSameId) {
    Fixture a, b;
    for (Fixture* f : {&a, &b}) {
        f->Send(1);
        f->RunWorkerResults(1);
        ASSERT_EQ(f->journal.mails.size(), 1u);
    }
    EXPECT_NE(a.journal.mails[0].outbox_id, b.journal.mails[0].outbox_id);
}

TEST(OutboxTest, AFullOutboxRefusesAndCountsTheRefusedAsFailed) {
    Fixture f;
    f.transport.Open(false);  // the first mail stalls; the rest wait behind it
    for (size_t n = 0; n < kMaxOutboxEntries; ++n) {
        f.Send(n);
    }
    f.Send(kMaxOutboxEntries);
    EXPECT_EQ(f.lines[kMaxOutboxEntries], DeliveryState::Failed);
    EXPECT_EQ(f.safe[kMaxOutboxEntries], 1);
    EXPECT_EQ(f.unsaved_notes[kMaxOutboxEntries],
              "The outbox is full (10000 mails): this one is not kept.");
    const OutboxCounts counts = f.outbox.Counts();
    EXPECT_EQ(counts.waiting, static_cast<int32_t>(kMaxOutboxEntries));
    EXPECT_EQ(counts.failed, 1);
    EXPECT_EQ(Told(f.notes.notices.back()),
              "[10000, critical] Order mail for order 10000 failed | The outbox is full (10000 "
              "mails): this one is not kept. It is not sent.");
}

TEST(OutboxTest, WhatWasKeptIsTriedAtStartAndAMailNeverComposedIsComposedThen) {
    Fixture first;
    first.settings.email = "";  // the settings do not allow composing the message
    first.Send(9);
    EXPECT_EQ(first.safe[9], 1);
    EXPECT_EQ(first.first_outcomes.at(0), "Error: Sender's e-mail address is empty.");

    Fixture second;
    second.store.entries = first.store.entries;
    second.outbox.Start();
    second.outbox.RetryFailed();  // failed ones wait for the user: here, new settings
    second.RunWorkerResults(1);
    // A kept mail has no line, yet its delivery is told, with counts that no longer hold it.
    ASSERT_FALSE(second.told_counts.empty());
    EXPECT_EQ(second.told_counts.back(), std::tuple(DeliveryState::Delivered, 0, 1));
    ASSERT_EQ(second.transport.delivered.size(), 1u);
    EXPECT_NE(second.transport.delivered[0].message.find("Subject: CVT order # 9"),
              std::string::npos);
    EXPECT_TRUE(second.store.entries.empty());
}

// A kept entry keeps its attachment between its body and its message; an entry written before
// entries had attachments reads as it did.
TEST(OutboxFormatTest, AnAttachmentIsKeptAndOldEntriesStillRead) {
    OutboxEntry entry;
    entry.id = "1-a";
    entry.subject = "Quillet daily summary: 2026-12-10";
    entry.body = "Orders handled: 1\n";
    entry.mail =
        ComposedMail{"desk@example.com",
                     {"broker@example.com"},
                     "From: d <desk@example.com>\r\nMessage-ID: <1@example.com>\r\n\r\nO\r\n",
                     "<1@example.com>"};
    entry.attachment = MailAttachment{"quillet-2026-12-10.csv", "text/csv", "Time,Order\r\n"};
    const auto kept = DecodeOutboxEntry(EncodeOutboxEntry(entry));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->attachment, entry.attachment);
    EXPECT_EQ(kept->mail, entry.mail);
    const std::string header =
        "Quillet-Outbox: 1\nId: 2-b\nOrder: 7\nCreated: 9\nState: waiting\nAttempts: 0\n"
        "Reason: \nSubject-Bytes: 1\nBody-Bytes: 2\n";
    const auto old = DecodeOutboxEntry(header + "\nSBB");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->body, "BB");
    EXPECT_FALSE(old->attachment);
    // An attachment's name without its type and length is no entry.
    EXPECT_FALSE(DecodeOutboxEntry(header + "Attachment-Name: x.csv\n\nSBB"));
}

}  // namespace
}  // namespace quillet
