#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

#include "app/orders/order_dispatcher.h"
#include "app/shell/main_desk.h"
#include "app/wire/control_protocol.h"
#include "settings/setup_dialog_slot.h"
#include "support/mail_doubles.h"
#include "support/memory_profile.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"

namespace quillet {
namespace {

struct Main {
    Main() {
        file.Store({{"txtDisplayName", "Desk"},
                    {"txtEmail", "desk@x.com"},
                    {"txtSMTPserver", "127.0.0.1"},
                    {"txtPort", "25"},
                    {"lstSendTo.ListCount", "1"},
                    {"File1", "broker@x.com"}});
        form.Form_Load();
    }
    test::RecordingTransport transport;
    test::MemoryProfile file;
    test::ScriptedScreen screen;
    test::InlineOutbox outbox;
    SetupDialogSlot setup{{transport, outbox.runner, file, screen}};
    MainDesk main{setup, screen, ".", outbox.Services(transport)};
    formQuillet& form = main.form;
    OrderDesk& desk = main.desk;
};

// The reply line to `event` once the desk lets it go; empty while it has not.
std::string Handled(OrderDesk& desk, const OrderEvent& event) {
    std::string line;
    desk.Handle(event, EventSource::kSocket,
                [&](const EventReply& reply) { line = FormatReply(event, reply); });
    return line;
}

const OrderPlaced kPlaced{"77", 1, 100, "XYZ", 3, 0, 12.5, "", "", "", "B", "C", "A"};

TEST(MainFormTest, AnOrderBeforeConnectIsRefusedInItsReplyAndToldOnce) {
    Main w;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Handled(w.desk, kPlaced),
                  "{\"ok\":false,\"error\":\"not listed: the platform is not "
                  "connected (send Connect first)\"}");
    }
    EXPECT_EQ(w.form.List1.ListCount(), 0u);
    EXPECT_TRUE(w.transport.deliveries.empty());
    ASSERT_EQ(w.outbox.notes.notices.size(), 1u);
    EXPECT_EQ(w.outbox.notes.notices[0].summary, "Order not listed: the platform is not connected");
}

TEST(MainFormTest, ConnectAndQueryConnectedAnswerTrueOnceConnected) {
    Main w;
    const QueryConnected query{"", "", "", 5};
    EXPECT_EQ(Handled(w.desk, query), R"({"ok":true,"Answer":5})");  // untouched
    EXPECT_EQ(Handled(w.desk, Connect{"", "", 0}), R"({"ok":true,"Answer":-1})");
    EXPECT_EQ(w.screen.main_window_shown, 1);
    EXPECT_EQ(Handled(w.desk, query), R"({"ok":true,"Answer":-1})");
    EXPECT_EQ(Handled(w.desk, Connect{"", "", 3}), R"({"ok":true,"Answer":3})");  // already
}

TEST(MainFormTest, EachOrderIsListedAndMailedAndItsReplyWaitsForTheMail) {
    Main w;
    Handled(w.desk, Connect{});
    const OrderEvent events[] = {kPlaced, OrderCancelled{"77"}, OrderModified{"77", 10, 11}};
    for (const OrderEvent& event : events) {
        bool replied_after_mail = false;
        w.desk.Handle(event, EventSource::kSocket, [&](const EventReply& reply) {
            replied_after_mail = w.transport.deliveries.size() == w.form.List1.ListCount() &&
                                 FormatReply(event, reply) == R"({"ok":true,"Mail":"kept"})";
        });
        EXPECT_TRUE(replied_after_mail) << event.index();
    }
    ASSERT_EQ(w.form.List1.ListCount(), 3u);
    EXPECT_EQ(w.form.List1.List(0),
              "A - B - C - Buy 100 share(s) of XYZ. Limit order with Limit price=12.5  "
              "(OrderId=77)");
    EXPECT_EQ(w.form.List1.List(1), "Cancel Order: Orderid=77");
    EXPECT_EQ(w.form.List1.List(2),
              "Modify Order: Orderid=77   New Stop Price = 10   New Limit Price = 11");
    ASSERT_EQ(w.transport.deliveries.size(), 3u);
    // The mail body of a modification has two blanks, not three, before "New Stop Price".
    EXPECT_TRUE(w.transport.deliveries[2].message.ends_with(
        "\r\n\r\nModify Order: Orderid=77  New Stop Price = 10   New Limit Price = 11\r\n"));
}

TEST(MainFormTest, AfterDisconnectPlacedOrdersMakeNoLineAndShutdownUnloads) {
    Main w;
    Handled(w.desk, Connect{});
    Handled(w.desk, Disconnect{});
    EXPECT_EQ(Handled(w.desk, kPlaced).rfind("{\"ok\":false", 0), 0u);
    EXPECT_EQ(w.form.List1.ListCount(), 0u);
    EXPECT_EQ(Handled(w.desk, Shutdown{}), R"({"ok":true})");
    EXPECT_EQ(w.screen.main_window_unloaded, 1);
}

TEST(MainFormTest, TheLiveSettingsOutliveTheDialogAndReadingThemLoadsNothing) {
    Main w;
    w.setup.Get().txtSMTPserver.SetText("typed.example.com");  // takes effect at once
    w.form.Form_Unload();
    EXPECT_FALSE(w.setup.IsLoaded());
    EXPECT_EQ(w.setup.Settings().server, "typed.example.com");
    w.desk.Handle(OrderCancelled{"1"});
    ASSERT_EQ(w.transport.deliveries.size(), 1u);
    EXPECT_EQ(w.transport.deliveries[0].host, "typed.example.com");
    EXPECT_FALSE(w.setup.IsLoaded());
    EXPECT_TRUE(w.screen.messages.empty());
}

// Before e-mail is set up, an order's line is marked not mailed with the reason, nothing is
// sent or kept, and the first such order of a run is told in a notice.
TEST(MainFormTest, OrdersBeforeEMailIsSetUpAreMarkedNotMailedAndToldOnce) {
    const struct {
        void (*unset)(formEmailSetup&);
        std::string tip;
    } cases[] = {
        {[](formEmailSetup& f) { f.txtSMTPserver.SetText(" "); },
         "Not mailed: the outgoing mail server (SMTP) name is empty."},
        {[](formEmailSetup& f) { f.lstSendTo.Clear(); },
         "Not mailed: the 'Send E-mail To' list is empty."},
    };
    for (const auto& c : cases) {
        Main w;
        OrderEvent connect = Connect{};
        w.desk.Handle(connect);
        c.unset(w.setup.Get());
        for (const char* id : {"1", "2"}) {
            OrderEvent cancelled = OrderCancelled{id};
            w.desk.Handle(cancelled);
        }
        ASSERT_EQ(w.form.List1.ListCount(), 2u);
        for (const size_t line : {0u, 1u}) {
            EXPECT_EQ(w.form.List1.Delivery(line), DeliveryState::NotMailed);
            EXPECT_TRUE(w.form.List1.DeliveryDetail(line).starts_with(c.tip))
                << w.form.List1.DeliveryDetail(line);
        }
        EXPECT_TRUE(w.transport.deliveries.empty());
        EXPECT_TRUE(w.outbox.store.entries.empty());
        ASSERT_EQ(w.outbox.notes.notices.size(), 1u);
        EXPECT_EQ(w.outbox.notes.notices[0].summary, "Order not mailed: e-mail is not set up");
        EXPECT_EQ(w.outbox.notes.notices[0].order_id, "1");
    }
}

// The dispatcher over a hand-run event loop.
struct Loop {
    std::deque<std::function<void()>> tasks;
    OrderDispatcher::Post Post() {
        return [this](std::function<void()> task) { tasks.push_back(std::move(task)); };
    }
    void Run() {
        while (!tasks.empty()) {
            auto task = std::move(tasks.front());
            tasks.pop_front();
            task();
        }
    }
};

TEST(OrderDispatcherTest, OneEventAtATimeAndANestedLoopDoesNotReenter) {
    Loop loop;
    std::vector<std::string> seen;
    OrderDispatcher* self = nullptr;
    OrderDispatcher::Finish held;  // an order whose reply waits for its mail
    OrderDispatcher dispatcher(
        [&](const OrderEvent& event, const EventOrigin& origin, OrderDispatcher::Finish finish) {
            if (std::holds_alternative<Connect>(event)) {
                seen.push_back("connect");
                EXPECT_TRUE(self->Busy());
                // An event arrives while a modal dialog runs its own loop: it must wait.
                self->Submit(OrderCancelled{"9"}, EventSource::kHttp,
                             [&seen](const OrderEvent&, const EventReply&) {
                                 seen.push_back("done cancel");
                             });
                loop.Run();
                seen.push_back("connect returns");
            } else if (std::holds_alternative<OrderCancelled>(event)) {
                seen.push_back(std::string("cancel from ") + SourceName(origin.source));
                held = std::move(finish);
                return;
            } else {
                seen.push_back(std::holds_alternative<Shutdown>(event) ? "shutdown" : "other");
            }
            finish(EventReply{.answer = -1});
        },
        loop.Post());
    self = &dispatcher;
    const auto done = [&](const char* name) {
        return [&seen, name](const OrderEvent&, const EventReply&) {
            seen.push_back(std::string("done ") + name);
        };
    };
    // Idle, the first event is handled at once; what comes while it runs, or from a `done`,
    // waits for a pass of its own.
    dispatcher.Submit(Connect{}, EventSource::kSocket, [&](const OrderEvent&, const EventReply& r) {
        EXPECT_EQ(r.answer, -1);  // the handler's reply reaches `done`
        seen.push_back("done connect");
        self->Submit(Disconnect{}, EventSource::kFix, done("disconnect"));
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"connect", "connect returns", "done connect"}));
    dispatcher.Submit(Shutdown{}, EventSource::kSocket, done("shutdown"));
    EXPECT_EQ(seen.size(), 3u);
    loop.Run();
    // The held reply lets the next events be handled meanwhile; it comes when finished, once.
    EXPECT_EQ(seen, (std::vector<std::string>{"connect", "connect returns", "done connect",
                                              "cancel from http", "other", "done disconnect",
                                              "shutdown", "done shutdown"}));
    held({});
    held({});
    EXPECT_EQ(seen.back(), "done cancel");
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "done cancel"), 1);
    EXPECT_FALSE(dispatcher.Busy());
}

}  // namespace
}  // namespace quillet
