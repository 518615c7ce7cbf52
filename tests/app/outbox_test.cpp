#include "app/outbox.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <ranges>

namespace quillet {
namespace {

using std::chrono::milliseconds;

struct MemoryStore : OutboxStore {
    std::vector<OutboxEntry> LoadAll() override {
        const auto all = std::views::values(entries);
        return {all.begin(), all.end()};
    }
    std::optional<std::string> Save(const OutboxEntry& entry) override {
        entries[entry.id] = entry;
        return std::nullopt;
    }
    void Remove(const std::string& id) override { entries.erase(id); }
    std::map<std::string, OutboxEntry> entries;
};

struct ScriptedTransport : SmtpTransport {
    SmtpResult Deliver(const SmtpDelivery& delivery) override {
        delivered.push_back(delivery);
        return delivered.size() <= results.size() ? results[delivered.size() - 1] : SmtpResult{};
    }
    std::vector<SmtpResult> results;  // for each delivery in turn; success past the end
    std::vector<SmtpDelivery> delivered;
};

struct Notes : Notifier {
    void Notify(const std::string& summary, const std::string& body) override {
        seen.push_back(summary + " | " + body);
    }
    std::vector<std::string> seen;
};

SendResult Failure(bool permanent) {
    return {7, "server down", permanent, ComposedMail{"desk@x.com", {"broker@x.com"}, "m"}};
}

// The outbox with the user-interface thread's loop run by hand: tasks posted from the real
// worker thread, and timers that fire when the clock passes them.
struct Fixture {
    Fixture() { outbox.Start(); }
    void Post(std::function<void()> task) {
        const std::lock_guard lock(mutex);
        posted.push_back(std::move(task));
        arrived.notify_all();
    }
    void RunWorkerResults(size_t count) {
        for (size_t i = 0; i < count; ++i) {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10),
                                         [this] { return !posted.empty(); }));
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
    Outbox outbox{
        OutboxServices{store, worker, transport, notes, [this] { return settings; },
                       [this](milliseconds delay, std::function<void()> task) {
                           timers.emplace(now + delay.count(), std::move(task));
                       },
                       [this] { return now; }, RetrySchedule{}},
        [this](size_t line, DeliveryState state, const std::string&) { lines[line] = state; }};
};

TEST(OutboxTest, AWaitingMailIsTriedOnTheScheduleWithTheSettingsOfTheMoment) {
    Fixture f;
    f.outbox.FirstAttempt(0, "77", "CVT order # 77", "line", Failure(false));
    EXPECT_EQ(f.lines[0], DeliveryState::Waiting);
    EXPECT_EQ(f.notes.seen.at(0).rfind("Order mail for order 77 not sent yet | server down", 0),
              0u);
    f.Advance(milliseconds(9999));
    EXPECT_TRUE(f.transport.delivered.empty());  // 10 s after the order, not before
    f.settings.server = "mail.example.com";
    f.Advance(milliseconds(1));
    f.RunWorkerResults(1);
    EXPECT_EQ(f.transport.delivered.at(0).host, "mail.example.com");
    EXPECT_EQ(f.transport.delivered[0].message, "m");  // as first composed
    EXPECT_EQ(f.lines[0], DeliveryState::Delivered);
    EXPECT_EQ(f.notes.seen.back(), "1 waiting order mail delivered | ");
}

TEST(OutboxTest, APermanentFailureWaitsForTheUserAndADayIsTheLimit) {
    Fixture f;
    f.outbox.FirstAttempt(0, "1", "s", "b", Failure(true));
    f.outbox.FirstAttempt(1, "2", "s", "b", Failure(false));
    EXPECT_EQ(f.lines[0], DeliveryState::Failed);
    // The waiting one meets a refused login: it is marked failed too; no timer tries either.
    f.transport.results = {SmtpResult{67, "Login denied", true}};
    f.Advance(std::chrono::seconds(10));
    f.RunWorkerResults(1);
    EXPECT_EQ(f.lines[1], DeliveryState::Failed);
    f.Advance(std::chrono::hours(1));
    EXPECT_EQ(f.transport.delivered.size(), 1u);
    // The settings changed: both go again, and arrive.
    f.outbox.RetryFailed();
    f.RunWorkerResults(2);
    EXPECT_EQ(f.lines[0], DeliveryState::Delivered);
    EXPECT_EQ(f.lines[1], DeliveryState::Delivered);
    EXPECT_EQ(f.notes.seen.back(), "2 waiting order mails delivered | ");

    // One that never gets through is marked failed a day after its order.
    f.transport.results.resize(1000, SmtpResult{7, "down", false});
    f.outbox.FirstAttempt(2, "3", "s", "b", Failure(false));
    for (int i = 0; i < 24 * 12 + 5 && f.lines[2] != DeliveryState::Failed; ++i) {
        f.Advance(std::chrono::minutes(5));
        if (f.lines[2] != DeliveryState::Failed) {
            f.RunWorkerResults(1);
        }
    }
    EXPECT_EQ(f.lines[2], DeliveryState::Failed);
    EXPECT_NE(f.notes.seen.back().find("Not delivered within 24 hours."), std::string::npos);
}

TEST(OutboxTest, WhatWasKeptIsTriedAtStartAndAMailNeverComposedIsComposedThen) {
    Fixture first;
    first.settings.email = "";  // the settings did not allow composing the message
    first.outbox.FirstAttempt(
        0, "9", "CVT order # 9", "the line",
        SendResult{1006, "Error: Sender's e-mail address is empty.", true, {}});

    Fixture second;
    second.store.entries = first.store.entries;
    second.outbox.Start();
    second.outbox.RetryFailed();  // failed ones wait for the user: here, new settings
    second.RunWorkerResults(1);
    ASSERT_EQ(second.transport.delivered.size(), 1u);
    EXPECT_NE(second.transport.delivered[0].message.find("Subject: CVT order # 9"),
              std::string::npos);
    EXPECT_TRUE(second.store.entries.empty());
}

}  // namespace
}  // namespace quillet
