#include "app/form_quillet.h"

#include <gtest/gtest.h>

#include "app/main_layout.h"
#include "platform/profile/ini_file.h"
#include "settings/setup_dialog_slot.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::ReadFile;
using test::WriteFile;

// Port 25 on 127.0.0.1, sender "Desk <desk@x.com>", one recipient "broker@x.com".
const char* const kSettings =
    "[Quillet]\r\n"
    "dHh0RGlzcGxheU5hbWU$=RGVzaw$$\r\n"
    "dHh0RW1haWw$=ZGVza0B4LmNvbQ$$\r\n"
    "dHh0U01UUHNlcnZlcg$$=MTI3LjAuMC4x\r\n"
    "dHh0UG9ydA$$=MjU$\r\n"
    "bHN0U2VuZFRvLkxpc3RDb3VudA$$=MQ$$\r\n"
    "RmlsZTE$=YnJva2VyQHguY29t\r\n";

struct MainWindow {
    MainWindow() : file(dir.Path("quillet.ini")) {
        WriteFile(dir.Path("quillet.ini"), kSettings);
        form.Form_Load();
    }
    test::TempDir dir;
    test::RecordingTransport transport;
    IniFile file;
    test::ScriptedScreen screen;
    SetupDialogSlot setup{{transport, file, screen, dir.Path("Quillet.chm")}};
    formQuillet form{setup, screen, "."};

    OrderPlaced Placed() {
        OrderPlaced o;
        o.OrderId = "77";
        o.Side = 1;
        o.Quantity = 100;
        o.Symbol = "XYZ";
        o.OrderType = 3;
        o.LimitPrice = 12.5;
        o.Info4 = "B";
        o.Info5 = "C";
        o.Info6 = "A";
        return o;
    }
};

TEST(FormQuilletTest, LoadReadsTheSettingsAndUnloadWritesThem) {
    MainWindow w;
    ASSERT_TRUE(w.setup.IsLoaded());
    EXPECT_EQ(w.setup.Get().txtSMTPserver.Text(), "127.0.0.1");
    w.setup.Get().txtPort.SetText("2525");
    w.form.Form_Unload();
    EXPECT_FALSE(w.setup.IsLoaded());
    EXPECT_NE(ReadFile(w.dir.Path("quillet.ini")).find("dHh0UG9ydA$$=MjUyNQ$$\r\n"),
              std::string::npos);
}

TEST(FormQuilletTest, OrderPlacedIsListedAndMailedOnlyWhileConnected) {
    MainWindow w;
    OrderEvent placed = w.Placed();
    w.form.HandleEvent(placed);
    EXPECT_EQ(w.form.List1.ListCount(), 0u);
    EXPECT_TRUE(w.transport.deliveries.empty());

    OrderEvent connect = Connect{"", "", 0};
    w.form.HandleEvent(connect);
    EXPECT_EQ(std::get<Connect>(connect).Answer, -1);
    EXPECT_EQ(w.screen.main_window_shown, 1);
    w.form.HandleEvent(placed);
    ASSERT_EQ(w.form.List1.ListCount(), 1u);
    EXPECT_EQ(w.form.List1.List(0),
              "A - B - C - Buy 100 share(s) of XYZ. Limit order with Limit price=12.5  "
              "(OrderId=77)");
    ASSERT_EQ(w.transport.deliveries.size(), 1u);
    const std::string& message = w.transport.deliveries[0].message;
    EXPECT_NE(message.find("Subject: CVT order # 77\r\n"), std::string::npos);
    EXPECT_NE(message.find("\r\n\r\nA - B - C - Buy 100"), std::string::npos);
    EXPECT_EQ(w.setup.Get().lblLog.Caption(), "Message sent successfully.");

    OrderEvent disconnect = Disconnect{};
    w.form.HandleEvent(disconnect);
    w.form.HandleEvent(placed);
    EXPECT_EQ(w.form.List1.ListCount(), 1u);
}

TEST(FormQuilletTest, ConnectionStateAnswers) {
    MainWindow w;
    OrderEvent query = QueryConnected{"", "", "", 5};
    w.form.HandleEvent(query);
    EXPECT_EQ(std::get<QueryConnected>(query).Answer, 5);  // untouched while not connected

    OrderEvent first = Connect{"", "", 0};
    OrderEvent second = Connect{"", "", 3};
    w.form.HandleEvent(first);
    w.form.HandleEvent(second);
    EXPECT_EQ(std::get<Connect>(second).Answer, 3);  // already connected: nothing at all
    EXPECT_EQ(w.screen.main_window_shown, 1);
    w.form.HandleEvent(query);
    EXPECT_EQ(std::get<QueryConnected>(query).Answer, -1);

    OrderEvent shutdown = Shutdown{};
    w.form.HandleEvent(shutdown);
    EXPECT_EQ(w.screen.main_window_unloaded, 1);
}

TEST(FormQuilletTest, CancelAndModifyGoOutWithoutConnectAndLinesStayWhenMailFails) {
    MainWindow w;
    w.transport.code = 7;
    OrderEvent cancelled = OrderCancelled{"77"};
    OrderEvent modified = OrderModified{"77", 10, 11};
    w.form.HandleEvent(cancelled);
    w.form.HandleEvent(modified);
    ASSERT_EQ(w.form.List1.ListCount(), 2u);
    EXPECT_EQ(w.form.List1.List(0), "Cancel Order: Orderid=77");
    EXPECT_EQ(w.form.List1.List(1),
              "Modify Order: Orderid=77   New Stop Price = 10   New Limit Price = 11");
    ASSERT_EQ(w.transport.deliveries.size(), 2u);
    EXPECT_NE(w.transport.deliveries[1].message.find(
                  "\r\n\r\nModify Order: Orderid=77  New Stop Price = 10   New Limit Price = 11"),
              std::string::npos);
    EXPECT_EQ(w.setup.Get().lblLog.Caption(), "Can't send message: check your e-mail settings.");
}

TEST(FormQuilletTest, OrderAfterTheDialogWasUnloadedReloadsItFromTheFile) {
    MainWindow w;
    w.setup.Get().txtSMTPserver.SetText("typed.example.com");
    w.setup.Unload();  // the close box: the typed server reaches the file
    OrderEvent cancelled = OrderCancelled{"1"};
    w.form.HandleEvent(cancelled);
    ASSERT_TRUE(w.setup.IsLoaded());
    ASSERT_EQ(w.transport.deliveries.size(), 1u);
    EXPECT_EQ(w.transport.deliveries[0].host, "typed.example.com");
}

TEST(FormQuilletTest, EmailSetupButtonShowsTheLoadedDialog) {
    MainWindow w;
    w.form.cmdEmailSetup_Click();
    EXPECT_EQ(w.screen.setup_dialog_shown, 1);
}

TEST(MainResizeRuleTest, SnapsWidthThenHeightAndLaysOutTheRest) {
    EXPECT_TRUE(std::holds_alternative<LeaveAsItIs>(MainResizeRule({true, 100, 100, 0, 0})));
    const auto narrow = MainResizeRule({false, 4499, 100, 4379, 0});
    ASSERT_TRUE(std::holds_alternative<SetOuterWidth>(narrow));
    EXPECT_EQ(std::get<SetOuterWidth>(narrow).width, 4500);
    const auto low = MainResizeRule({false, 4500, 2199, 4380, 1700});
    ASSERT_TRUE(std::holds_alternative<SetOuterHeight>(low));
    EXPECT_EQ(std::get<SetOuterHeight>(low).height, 2200);

    // The first layout: client 4815 x 3075 inside an outer 4935 x 3570.
    const auto layout = MainResizeRule({false, 4935, 3570, 4815, 3075});
    ASSERT_TRUE(std::holds_alternative<MainLayout>(layout));
    const auto& l = std::get<MainLayout>(layout);
    EXPECT_FLOAT_EQ(l.list_width, 4815);
    EXPECT_FLOAT_EQ(l.button_left, 1635);
    EXPECT_FLOAT_EQ(l.button_top, 2520);
    EXPECT_FLOAT_EQ(l.list_height, 2190);
    // Exactly the minimum is accepted; an odd client width centres on a half twip.
    const auto edge = MainResizeRule({false, 4500, 2200, 4381, 1705});
    ASSERT_TRUE(std::holds_alternative<MainLayout>(edge));
    EXPECT_FLOAT_EQ(std::get<MainLayout>(edge).button_left, 1418);
}

}  // namespace
}  // namespace quillet
