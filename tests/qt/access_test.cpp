// What a screen reader hears of the windows, through Qt's accessibility interface; the marks and
// status colours that do not rest on colour alone; and the windows on a screen too small for
// them (this test runs a second time at QT_SCALE_FACTOR=2 on a 1366x768 screen).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include "platform/qt/accounts_window.h"
#include "platform/qt/delivery_mark.h"
#include "platform/qt/email_setup_window.h"
#include "platform/qt/history_window.h"
#include "platform/qt/main_window.h"
#include "platform/qt/status_colour.h"
#include "support/form_rig.h"
#include "support/recording_transport.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

struct Windows {
    test::RecordingTransport transport;
    test::FormRig rig{transport, 25};
    MainWindow main{rig.form};
    EmailSetupWindow setup{rig.setup.Get(), rig.setup, &main};
};

// What a screen reader says a control is: its name; for a combo box, whose name is its current
// text on Linux, the label it is labelled by.
QString Heard(QWidget* widget) {
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
    if (control->role() == QAccessible::ComboBox) {
        const auto labels = control->relations(QAccessible::Label);
        return labels.empty() ? QString() : labels.front().first->text(QAccessible::Name);
    }
    return control->text(QAccessible::Name);
}

TEST(AccessTest, EveryFieldAndListIsNamedByItsOwnLabel) {
    Windows w;
    formAccounts accounts(nullptr, w.rig.screen);
    AccountsWindow accounts_window(accounts, nullptr);
    const EmailSetupWindow& s = w.setup;
    const std::pair<QWidget*, const char*> named[] = {
        {s.txtDisplayName, "Display name:"},
        {s.txtEmail, "E-mail address:"},
        {s.cmbServerTemplate, "Select mail server template:"},
        {s.txtSMTPserver, "Outgoing mail server (SMTP):"},
        {s.txtPort, "SMTP server port number:"},
        {s.txtAccountName, "Account name:"},
        {s.txtPassword, "Password:"},
        {s.lstSendTo, "Send E-mail To"},
        {s.txtHttpPort, "HTTP port"},
        {s.txtHttpToken, "HTTP token"},
        {s.txtTokenCommand, "Sign in with a token command:"},
        {s.lblLog, "Status"},
        {w.main.List1(), "Orders received from Corvana"},
        {accounts_window.lstv, "E-mail accounts"},
    };
    for (const auto& [widget, name] : named) {
        EXPECT_EQ(Heard(widget), QString::fromUtf8(name)) << widget->objectName().toStdString();
    }
}

TEST(AccessTest, AnOrderLinesDescriptionTellsHowItsMailIs) {
    Windows w;
    const struct {
        DeliveryState state;
        const char* tip;
        const char* description;
    } lines[] = {
        {DeliveryState::None, "", ""},
        {DeliveryState::Delivered, "", "Mail delivered."},
        {DeliveryState::Waiting, "Waiting: next attempt at 12:05. Not safe: disk full.",
         "Mail waiting: next attempt at 12:05. Not safe: disk full."},
        {DeliveryState::Failed, "The outbox is full.", "Mail failed. The outbox is full."},
    };
    OrderList& list = w.rig.form.List1;
    for (const auto& line : lines) {
        list.AddItem("OrderPlaced ABC");
        list.SetDelivery(list.ListCount() - 1, line.state, line.tip);
    }
    const int count = static_cast<int>(std::size(lines));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.main.List1()->model()->rowCount() == count; }));
    QAccessibleTableInterface* table =
        QAccessible::queryAccessibleInterface(w.main.List1())->tableInterface();
    for (int row = 0; row < count; ++row) {
        EXPECT_EQ(table->cellAt(row, 0)->text(QAccessible::Description),
                  QString::fromUtf8(lines[row].description));
    }
}

TEST(AccessTest, TheMarksDifferInShapeNotOnlyInColour) {
    QImage shapes[3];  // the pixels each covers, whatever their colour
    for (const DeliveryState state :
         {DeliveryState::Delivered, DeliveryState::Waiting, DeliveryState::Failed}) {
        shapes[static_cast<int>(state) - 1] = DeliveryMark(state, Qt::white, Qt::black)
                                                  .pixmap(QSize(12, 12), 1.0)
                                                  .toImage()
                                                  .convertToFormat(QImage::Format_Alpha8);
    }
    for (const auto& [a, b] : {std::pair{0, 1}, {0, 2}, {1, 2}}) {
        int differ = 0;
        for (int i = 0; i < 144; ++i) {
            differ += (qAlpha(shapes[a].pixel(i % 12, i / 12)) > 127) !=
                      (qAlpha(shapes[b].pixel(i % 12, i / 12)) > 127);
        }
        EXPECT_GE(differ, 12) << a << " and " << b;
    }
}

TEST(AccessTest, StatusColoursStayReadableInTheirHuesOnADarkPalette) {
    Windows w;
    const QPalette light = w.setup.palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(35, 38, 41));
    dark.setColor(QPalette::WindowText, QColor(239, 240, 241));
    for (const Colour wanted : {kLogRed, kLogGreen, kLogBlack}) {
        const QColor colour(wanted.red, wanted.green, wanted.blue);
        w.rig.settings.lblLog.SetForeColor(wanted);
        w.setup.setPalette(dark);  // the colour set, then the palette changed
        const QColor shown = w.setup.lblLog->palette().color(QPalette::WindowText);
        EXPECT_GE(ContrastRatio(shown, dark.color(QPalette::Window)), 4.5)
            << shown.name().toStdString();
        EXPECT_NEAR(
            shown.hslHue(),
            colour.hslHue() < 0 ? dark.color(QPalette::WindowText).hslHue() : colour.hslHue(), 3);
        w.setup.setPalette(light);
        EXPECT_EQ(w.setup.lblLog->palette().color(QPalette::WindowText), colour);
    }
}

// A window's frame lies within the available area, and every control in it can be brought
// into view. Under a window manager, once it has framed the window (which a machine busy with
// other tests may take seconds to do).
void ExpectReachable(QWidget& window, const std::vector<QWidget*>& controls) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        (void)QTest::qWaitFor(
            [&] {
                const QRect frame = window.frameGeometry();
                return frame != window.geometry() && frame.contains(window.geometry());
            },
            20000);
    }
    EXPECT_TRUE(window.screen()->availableGeometry().contains(window.frameGeometry()))
        << window.metaObject()->className() << " at "
        << QDebug::toString(window.frameGeometry()).toStdString() << " in "
        << QDebug::toString(window.screen()->availableGeometry()).toStdString();
    auto* scroll = window.findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        if (scroll) {
            const QPoint centre = control->mapTo(scroll->widget(), control->rect().center());
            scroll->ensureVisible(centre.x(), centre.y(), control->width() / 2 + 1,
                                  control->height() / 2 + 1);
        }
        const QRect at(control->mapTo(&window, QPoint(0, 0)), control->size());
        EXPECT_TRUE(window.rect().contains(at)) << control->objectName().toStdString();
    }
}

TEST(AccessTest, WindowsKeepEveryControlInReachOnTheScreen) {
    Windows w;
    const bool scaled = qgetenv("QT_SCALE_FACTOR") == "2";
    w.main.show();
    ExpectReachable(w.main, {w.main.List1(), w.main.cmdEmailSetup()});

    EmailSetupWindow& s = w.setup;
    const QSize page = s.findChild<QScrollArea*>()->widget()->size();
    s.show();
    QCoreApplication::processEvents();  // the scroll bars show or hide a turn of the loop later
    ExpectReachable(s, {s.txtDisplayName, s.cmdAddEmail[0], s.cmdAddEmail[1], s.cmdAddEmail[2],
                        s.Command1, s.cmdHelp, s.txtTokenCommand, s.cmdCopyToken});
    // The status line is in sight with "Send Test E-mail", wherever the page is scrolled to.
    for (QWidget* shown : {s.Command2, s.cmdCopyToken}) {
        ExpectReachable(s, {shown});
        const QRect log(s.lblLog->mapTo(&s, QPoint(0, 0)), s.lblLog->size());
        EXPECT_TRUE(s.lblLog->isVisible() && s.rect().contains(log))
            << QDebug::toString(log).toStdString();
    }
    const bool fits = s.size() == page;
    EXPECT_EQ(fits, !scaled) << "the dialog does not fit a 1366x768 screen at 200%";
    // Fixed as it always was where it fits; where it does not, the user may make it larger.
    EXPECT_EQ(s.minimumSize() == s.maximumSize(), fits);
    EXPECT_EQ(s.findChild<QScrollArea*>()->verticalScrollBar()->isVisible(), !fits);

    formAccounts accounts(nullptr, w.rig.screen);
    AccountsWindow a(accounts, &s);
    a.show();
    ExpectReachable(a, {a.lstv, a.cmdSelect[0], a.cmdSelect[1]});

    test::TempDir dir;
    HistoryWindow history(QString::fromStdString(dir.Path("quillet-journal.sqlite")));
    history.show();
    ExpectReachable(history, {history.findChild<QTableView*>()});
}

}  // namespace
}  // namespace quillet
