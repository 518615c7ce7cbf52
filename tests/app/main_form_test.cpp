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

TEST(MainFormTest, OrdersAreListedAndMailedAndPlacedOnesOnlyWhileConnected) {
    Main w;
    OrderEvent placed = OrderPlaced{"77", 1, 100, "XYZ", 3, 0, 12.5, "", "", "", "B", "C", "A"};
    OrderEvent refused = placed;
    w.desk.Handle(refused);
    EXPECT_EQ(w.form.List1.ListCount(), 0u);
    // Refused in its reply, and told once in a notice.
    EXPECT_EQ(FormatReply(refused),
              "{\"ok\":false,\"error\":\"not listed: the platform is not "
              "connected (send Connect first)\"}");
    w.desk.Handle(refused);
    ASSERT_EQ(w.outbox.notes.notices.size(), 1u);
    EXPECT_EQ(w.outbox.notes.notices[0].summary, "Order not listed: the platform is not connected");
    OrderEvent query = QueryConnected{"", "", "", 5};
    w.desk.Handle(query);
    EXPECT_EQ(std::get<QueryConnected>(query).Answer, 5);  // untouched while not connected

    OrderEvent connect = Connect{"", "", 0};
    w.desk.Handle(connect);
    EXPECT_EQ(std::get<Connect>(connect).Answer, -1);
    EXPECT_EQ(w.screen.main_window_shown, 1);
    w.desk.Handle(query);
    EXPECT_EQ(std::get<QueryConnected>(query).Answer, -1);

    w.desk.Handle(placed);
    OrderEvent cancelled = OrderCancelled{"77"};
    OrderEvent modified = OrderModified{"77", 10, 11};
    bool replied_after_mail = false;  // the reply waits for the mail
    w.desk.Handle(cancelled, EventSource::kSocket,
                  [&] { replied_after_mail = w.transport.deliveries.size() == 2; });
    EXPECT_TRUE(replied_after_mail);
    w.desk.Handle(modified);
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

    OrderEvent disconnect = Disconnect{};
    w.desk.Handle(disconnect);
    w.desk.Handle(placed);
    EXPECT_EQ(w.form.List1.ListCount(), 3u);
    OrderEvent shutdown = Shutdown{};
    w.desk.Handle(shutdown);
    EXPECT_EQ(w.screen.main_window_unloaded, 1);
}

TEST(MainFormTest, TheLiveSettingsOutliveTheDialogAndReadingThemLoadsNothing) {
    Main w;
    w.setup.Get().txtSMTPserver.SetText("typed.example.com");  // takes effect at once
    w.form.Form_Unload();
    EXPECT_FALSE(w.setup.IsLoaded());
    EXPECT_EQ(w.setup.Settings().server, "typed.example.com");
    OrderEvent cancelled = OrderCancelled{"1"};
    w.desk.Handle(cancelled);
    ASSERT_EQ(w.transport.deliveries.size(), 1u);
    EXPECT_EQ(w.transport.deliveries[0].host, "typed.example.com");
    EXPECT_FALSE(w.setup.IsLoaded());
    EXPECT_TRUE(w.screen.messages.empty());
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
        [&](OrderEvent& event, EventSource source, OrderDispatcher::Finish finish) {
            if (auto* c = std::get_if<Connect>(&event)) {
                seen.push_back("connect");
                c->Answer = -1;
                EXPECT_TRUE(self->Busy());
                // An event arrives while a modal dialog runs its own loop: it must wait.
                self->Submit(OrderCancelled{"9"}, EventSource::kHttp,
                             [&seen](const OrderEvent&) { seen.push_back("done cancel"); });
                loop.Run();
                seen.push_back("connect returns");
            } else if (std::holds_alternative<OrderCancelled>(event)) {
                seen.push_back(std::string("cancel from ") + SourceName(source));
                held = std::move(finish);
                return;
            } else {
                seen.push_back(std::holds_alternative<Shutdown>(event) ? "shutdown" : "other");
            }
            finish();
        },
        loop.Post());
    self = &dispatcher;
    const auto done = [&](const char* name) {
        return [&seen, name](const OrderEvent&) { seen.push_back(std::string("done ") + name); };
    };
    // Idle, the first event is handled at once; what comes while it runs, or from a `done`,
    // waits for a pass of its own.
    dispatcher.Submit(Connect{}, EventSource::kSocket, [&](const OrderEvent& e) {
        EXPECT_EQ(std::get<Connect>(e).Answer, -1);
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
    held();
    held();
    EXPECT_EQ(seen.back(), "done cancel");
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "done cancel"), 1);
    EXPECT_FALSE(dispatcher.Busy());
}

}  // namespace
}  // namespace quillet
