// The Qt windows drawn from the forms, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <QHeaderView>
#include <QTreeWidget>
#include "accounts/form_accounts.h"
#include "app/shell/main_desk.h"
#include "mail/mail_worker.h"
#include "platform/outbox/outbox_folder.h"
#include "platform/profile/ini_file.h"
#include "platform/qt/accounts_window.h"
#include "platform/qt/email_setup_window.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qt_screen.h"
#include "platform/qt/rules_dialog.h"
#include "platform/smtp/curl_smtp_transport.h"
#include "settings/setup_dialog_slot.h"
#include "support/form_rig.h"
#include "support/mail_doubles.h"
#include "support/smtp_test_server.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::ReadFile;

// The program's windows over a settings file in a temporary folder.
struct Program {
    explicit Program(CurlSmtpTransport::Options bounds = {})
        : transport(std::move(bounds)), file(dir.Path("quillet.ini")) {
        screen.SetSetupDialogSlot(&setup);
        screen.SetMainWindow(&window);
        form.Form_Load();
    }
    // The setup dialog, loaded, with settings for a server on 127.0.0.1 at `port`.
    formEmailSetup& MailTo(int port) { return test::MailTo(setup.Get(), "127.0.0.1", port); }
    test::TempDir dir;
    CurlSmtpTransport transport;
    MailWorker worker{[](std::function<void()> task) {
        QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
    }};
    IniFile file;
    QtScreen screen;
    SetupDialogSlot setup{{transport, worker, file, screen}};
    OutboxFolder outbox{dir.Path("quillet.outbox")};
    test::Notes notes;
    MainDesk main{setup, screen, ".",
                  OutboxServices{outbox,
                                 worker,
                                 transport,
                                 notes,
                                 {},
                                 [](std::chrono::milliseconds delay, std::function<void()> task) {
                                     QTimer::singleShot(delay, qApp, std::move(task));
                                 },
                                 &QDateTime::currentMSecsSinceEpoch,
                                 RetrySchedule{}}};
    formQuillet& form = main.form;
    MainWindow window{form};
};

TEST(SetupWindowTest, NoDefaultButtonAndAMaskedPassword) {
    Program p;
    EmailSetupWindow w(p.setup.Get(), p.setup, nullptr);
    for (QPushButton* button : w.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << button->text().toStdString();
    }
    p.setup.Get().txtPassword.SetText("abc");
    EXPECT_EQ(w.txtPassword->displayText(), "***");
}

TEST(SetupWindowTest, WidgetsAndFormStayInStep) {
    Program p;
    formEmailSetup& form = p.setup.Get();
    EmailSetupWindow w(form, p.setup, nullptr);
    EXPECT_EQ(w.cmbServerTemplate->currentText(), "Custom");
    EXPECT_FALSE(w.txtAccountName->isEnabled());

    QTest::mouseClick(w.chkAuthRequired, Qt::LeftButton);  // the user checks it
    EXPECT_EQ(form.chkAuthRequired.Value(), 1);
    EXPECT_TRUE(w.txtAccountName->isEnabled());
    EXPECT_TRUE(w.txtPassword->isEnabled());

    QTest::keyClicks(w.txtSMTPserver, "mail.example.com");  // typed, not yet saved
    EXPECT_EQ(form.txtSMTPserver.Text(), "mail.example.com");

    w.cmbServerTemplate->activated(0);  // the user picks GMail
    EXPECT_EQ(w.txtSMTPserver->text(), "smtp.gmail.com");
    EXPECT_EQ(w.txtPort->text(), "465");
    EXPECT_EQ(w.chkSSL->checkState(), Qt::Checked);

    form.lstSendTo.AddItem("a@x.com");
    form.lstSendTo.AddItem("b@x.com");
    ASSERT_EQ(w.lstSendTo->count(), 2);
    w.lstSendTo->item(1)->setSelected(true);
    EXPECT_TRUE(form.lstSendTo.Selected(1));
    QTest::mouseClick(w.cmdAddEmail[1], Qt::LeftButton);  // Delete
    ASSERT_EQ(w.lstSendTo->count(), 1);
    EXPECT_EQ(w.lstSendTo->item(0)->text(), "a@x.com");

    // The rules dialog of a recipient gives the rule chosen, or none when cancelled.
    for (const bool accept : {true, false}) {
        QTimer::singleShot(50, [accept] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QComboBox*>("cmbEvents")->setCurrentIndex(2);
            dialog->findChild<QComboBox*>("cmbForm")->setCurrentIndex(1);
            dialog->findChild<QLineEdit*>("txtSymbols")->setText("XYZ, EUR*");
            accept ? dialog->accept() : dialog->reject();
        });
        EXPECT_EQ(AskRecipientRuleDialog(&w, "a@x.com", "accounts=A"),
                  accept ? std::optional<std::string>(
                               "events=OrderFilled,OrderRejected; accounts=A; symbols=XYZ EUR*; "
                               "form=short")
                         : std::nullopt);
    }

    form.chkSSL.SetValue(2);  // grayed, as a settings file may hold it
    EXPECT_EQ(w.chkSSL->checkState(), Qt::PartiallyChecked);
}

TEST(SetupWindowTest, TestButtonMailsAndShowsTheOutcomeInGreen) {
    test::SmtpTestServer server({});
    Program p;
    formEmailSetup& form = p.MailTo(server.port());
    form.LogMessage("Message sent successfully.");  // an earlier outcome, cleared at once
    EmailSetupWindow w(form, p.setup, nullptr);
    w.show();
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    EXPECT_EQ(w.lblLog->text(), "Connecting to 127.0.0.1:" + QString::number(server.port()) + "…");
    EXPECT_FALSE(w.Command2->isEnabled());  // until the outcome
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.Command2->isEnabled(); }, 15000));
    EXPECT_FALSE(w.cmdCancelTest->isVisible());
    EXPECT_EQ(w.lblLog->text(), "Message sent successfully.");
    EXPECT_EQ(w.lblLog->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    ASSERT_EQ(server.Received().size(), 1u);
    EXPECT_NE(server.Received()[0].content.find("Subject: test email\r\n"), std::string::npos);
    EXPECT_NE(server.Received()[0].content.find("\r\n\r\nJust testing...\r\n"), std::string::npos);
}

// A server that takes the connection and never answers: "Cancel" ends the transfer, long
// before any time-out would, and the client closes the connection; the status line says so,
// shows the whole of a long text, and a change of the settings it speaks of takes it away.
TEST(SetupWindowTest, ATestUnderWayCanBeCancelledAndTheStatusLineWrapsAndClears) {
    test::SmtpTestServer silent({.mode = test::SmtpTestServer::Mode::Silent});
    const auto never = std::chrono::hours(1);
    Program p({.connect_timeout = never,
               .reply_timeout = never,
               .total_timeout = never,
               .end_of_data_timeout = never,
               .ca_file = {}});
    formEmailSetup& form = p.MailTo(silent.port());
    EmailSetupWindow w(form, p.setup, nullptr);
    w.show();
    const QString at = "127.0.0.1:" + QString::number(silent.port());
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    EXPECT_EQ(w.lblLog->text(), "Connecting to " + at + "…");
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.Events() == "C"; }, 60000));
    ASSERT_TRUE(w.cmdCancelTest->isVisible());
    QTest::mouseClick(w.cmdCancelTest, Qt::LeftButton);
    EXPECT_FALSE(w.cmdCancelTest->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass has gone
    EXPECT_EQ(w.lblLog->text(), "Cancelling the test message to " + at + "…");
    // The cap is far below the time-outs: only the cancel can have closed it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Command2->isEnabled(); }, 60000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent.Events() == "CX"; }, 60000)) << silent.Events();
    EXPECT_EQ(w.lblLog->text(), "Test message cancelled: the connection to " + at + " is closed.");
    QTest::keyClicks(w.txtPort, "0");  // the settings it spoke of change
    EXPECT_EQ(w.lblLog->text(), "");

    std::string reason;  // two lines and some
    for (int i = 0; i < 25; ++i) {
        reason += "a reason ";
    }
    form.LogMessage(reason);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.lblLog->wordWrap());
    EXPECT_GT(w.lblLog->heightForWidth(w.lblLog->width()), w.lblLog->fontMetrics().height());
    EXPECT_GE(w.lblLog->height(), w.lblLog->heightForWidth(w.lblLog->width()));
}

TEST(AccountsWindowTest, TheListShowsTheRowsAndOkChoosesTheSelectedOne) {
    Program p;
    formAccounts accounts(nullptr, p.screen);
    accounts.Form_Load();
    accounts.Accounts.Append() = MailAccount{
        "smtp.gmail.com", "", "me", 1, "me@gmail.example", "", 1, "Outlook", "Me", 0, ""};
    accounts.Accounts.Append() = MailAccount{
        "mail.example.com", "587", "", 0, "b@example.com", "*", 0, "Outlook Express", "B", 0, ""};
    for (const MailAccount& a : accounts.Accounts.All()) {
        accounts.lstv.AddRow({a.Email, a.Program, a.Default, a.DisplayName, a.Server, a.Port, "No",
                              "No", a.UserName});
    }
    accounts.ResizeListView(accounts.lstv);
    AccountsWindow w(accounts, nullptr);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.windowTitle(), "Select E-mail Account");
    ASSERT_EQ(w.lstv->topLevelItemCount(), 2);
    EXPECT_EQ(w.lstv->headerItem()->text(6), "Req.Auth.");
    EXPECT_EQ(w.lstv->currentItem(), w.lstv->topLevelItem(0));  // the first row is selected
    EXPECT_EQ(w.lstv->header()->sectionSize(0),
              static_cast<int>(std::lround(accounts.lstv.ColumnHeader(0).width / 15)));
    w.resize(200, 30);  // smaller than its controls: clamped, no error
    EXPECT_EQ(w.lstv->height(), 0);

    w.lstv->setCurrentItem(w.lstv->topLevelItem(1));
    QTest::mouseClick(w.cmdSelect[0], Qt::LeftButton);
    ASSERT_TRUE(accounts.ChosenAccount());
    EXPECT_EQ(accounts.ChosenAccount()->Email, "b@example.com");
}

TEST(AccountsWindowTest, KeptOnTheScreenOverAWindowAtTheTopLeftCorner) {
    Program p;
    p.window.move(0, 0);  // centred over it, the account dialog would stick out on the left
    p.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&p.window));
    p.setup.Get();
    formAccounts accounts(nullptr, p.screen);
    QRect placed;
    QTimer::singleShot(0, [&] {
        placed = QApplication::activeModalWidget()->frameGeometry();
        accounts.cmdSelect_Click(1);
    });
    p.screen.ShowAccountsDialogModal(accounts);
    const QRect area = p.window.screen()->availableGeometry();
    EXPECT_TRUE(area.contains(placed)) << placed.x() << "," << placed.y();
    EXPECT_EQ(placed.left(), area.left());  // no further in than it must
}

TEST(MainWindowTest, CaptionListAndResizeRule) {
    Program p;
    EXPECT_EQ(p.window.windowTitle(), "Corvana - Quillet");
    p.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&p.window));
    p.window.resize(200, 100);  // narrower than 4500 twips: the width snaps back first
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.window.frameGeometry().width() == 300; }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.window.frameGeometry().height() == 147; }));

    OrderEvent cancelled = OrderCancelled{"77"};  // no settings: not mailed
    p.main.desk.Handle(cancelled);
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.window.List1()->model()->rowCount() == 1; }));
    const QModelIndex line = p.window.List1()->model()->index(0, 0);
    EXPECT_EQ(line.data().toString(), "Cancel Order: Orderid=77");
    EXPECT_FALSE(line.data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(line.data(Qt::ToolTipRole)
                    .toString()
                    .startsWith("Cancel Order: Orderid=77\nNot mailed: the outgoing mail server "
                                "(SMTP) name is empty."))
        << line.data(Qt::ToolTipRole).toString().toStdString();
    p.form.List1.SetDelivery(0, DeliveryState::Failed, "Failed: 550 refused");
    EXPECT_EQ(line.data(Qt::ToolTipRole).toString(),
              "Cancel Order: Orderid=77\nFailed: 550 refused");
    int history = 0;
    p.window.SetShowHistory([&history] { ++history; });
    p.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&p.window));
    QTest::keyClick(p.window.List1(), Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(history, 1);
    p.window.close();
}

// At a first start the window offers to set up e-mail on the label's row, after the button in
// the tab order, at the smallest size too; the link opens the setup dialog, and goes once the
// dialog closes with a server in the settings.
TEST(MainWindowTest, TheSetUpLinkOpensTheSetupDialogUntilAServerIsSaved) {
    Program p;
    QLabel* link = p.window.SetupLink();
    EXPECT_FALSE(link->isVisibleTo(&p.window));
    p.form.OfferMailSetup();
    p.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&p.window));
    p.window.resize(200, 100);  // snaps back to the smallest size
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.window.frameGeometry().height() == 147; }));
    ASSERT_TRUE(link->isVisible());
    const QLabel* label = p.window.findChild<QLabel*>("Label1");
    EXPECT_GE(link->x(), label->x() + label->fontMetrics().horizontalAdvance(label->text()));
    EXPECT_TRUE(p.window.rect().contains(link->geometry()));
    EXPECT_FALSE(link->geometry().intersects(p.window.List1()->geometry()));
    EXPECT_EQ(p.window.cmdEmailSetup()->nextInFocusChain(), link);
    for (const std::string server : {"", "127.0.0.1"}) {
        bool dialog_was_shown = false;
        QTimer::singleShot(50, [&] {
            p.setup.Get().txtSMTPserver.SetText(server);
            QWidget* dialog = QApplication::activeModalWidget();
            dialog_was_shown = dialog != nullptr;
            if (dialog) {
                dialog->close();
            }
        });
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        EXPECT_TRUE(dialog_was_shown);
        EXPECT_EQ(link->isVisible(), server.empty());
    }
    p.window.close();
}

// A mail stuck at a server that never greets holds neither the order's reply nor the window's
// thread: a timer on it keeps its time. A thread that waits on the mail is late by the whole
// reply bound at every order; a shared machine's pause is late once, so an order whose timer
// kept its time is enough.
TEST(MainWindowTest, AStuckMailLeavesTheWindowFree) {
    test::SmtpTestServer::Config config;
    config.mode = test::SmtpTestServer::Mode::Silent;
    test::SmtpTestServer server(config);
    Program p;
    p.window.show();
    p.MailTo(server.port());
    using Clock = std::chrono::steady_clock;
    constexpr auto kTick = std::chrono::milliseconds(20);
    Clock::duration best = std::chrono::hours(1);
    for (int order = 1; order <= 3 && best >= std::chrono::milliseconds(100); ++order) {
        bool replied = false;
        OrderEvent cancelled = OrderCancelled{std::to_string(order)};
        auto last = Clock::now();
        Clock::duration worst{};
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            worst = std::max(worst, now - last - kTick);
            last = now;
        });
        tick.start(kTick);
        p.main.desk.Handle(cancelled, EventSource::kSocket,
                           [&](const EventReply&) { replied = true; });
        QTest::qWait(1000);
        EXPECT_TRUE(replied);
        EXPECT_EQ(p.form.List1.ListCount(), static_cast<size_t>(order));
        best = std::min(best, worst);
    }
    EXPECT_LT(best, std::chrono::milliseconds(100));
    p.transport.AbortAll();  // the attempt under way ends with the test
}

// The setup dialog ended by its close box, or by a shutdown while it shows: either way it is
// unloaded and the settings are saved; only the shutdown ends the main window.
TEST(MainWindowTest, TheSetupDialogsCloseBoxAndAShutdownSave) {
    for (const bool shutdown : {false, true}) {
        Program p;
        p.window.show();
        p.setup.Get().txtPort.SetText("587");
        bool dialog_was_shown = false;
        QTimer::singleShot(50, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            dialog_was_shown = dialog != nullptr;
            if (shutdown) {
                OrderEvent stop = Shutdown{};
                p.main.desk.Handle(stop);
            } else if (dialog) {
                dialog->close();
            }
        });
        p.form.cmdEmailSetup_Click();  // returns when the dialog is gone
        EXPECT_TRUE(dialog_was_shown);
        EXPECT_FALSE(p.setup.IsLoaded());
        EXPECT_NE(ReadFile(p.dir.Path("quillet.ini")).find("dHh0UG9ydA$$=NTg3"), std::string::npos);
        EXPECT_EQ(p.window.isVisible(), !shutdown);
        p.window.close();
    }
}

}  // namespace
}  // namespace quillet
