// The tray icon in a real tray (tests/qt/with_tray.sh runs this under Xvfb with trayer), the
// autostart entry and the setting its menu switches, and the question asked before quitting.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QtTest/QTest>

#include "app/shell/main_desk.h"
#include "app/shell/quit_question.h"
#include "platform/profile/ini_file.h"
#include "platform/profile/tray_setting.h"
#include "platform/qt/autostart_entry.h"
#include "platform/qt/background_service.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qt_screen.h"
#include "platform/qt/quit_box.h"
#include "platform/qt/tray_icon.h"
#include "settings/setup_dialog_slot.h"
#include "support/mail_doubles.h"
#include "support/memory_profile.h"
#include "support/recording_transport.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::ReadFile;
constexpr QRgb kProgramBlue = 0xff0000a0, kWaitingAmber = 0xffe6a000, kFailedRed = 0xffc80000;

// The widget Qt draws the icon in, once the tray has taken it (its X parent is not the root).
QWidget* DockedIcon() {
    xcb_connection_t* x = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const std::unique_ptr<xcb_query_tree_reply_t, decltype(&::free)> tree(
            xcb_query_tree_reply(x, xcb_query_tree(x, widget->winId()), nullptr), &::free);
        if (widget->objectName() == "QSystemTrayIconSys" && tree && tree->parent != tree->root) {
            return widget;
        }
    }
    return nullptr;
}

// Which of the program's blue and the marks' colours the screen shows where the icon is.
std::set<QRgb> Shown(const QSystemTrayIcon& icon) {
    const QRect at = icon.geometry();
    const QImage image = QGuiApplication::primaryScreen()
                             ->grabWindow(0, at.x(), at.y(), at.width(), at.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
    std::set<QRgb> shown(pixels, pixels + image.sizeInBytes() / sizeof(QRgb));
    std::erase_if(
        shown, [](QRgb c) { return c != kProgramBlue && c != kWaitingAmber && c != kFailedRed; });
    return shown;
}

TEST(TrayIconTest, ShowsTheMailsInARealTrayAndItsMenuReachesTheProgramAndTheSettings) {
    int argc = 1;
    char name[] = "tray_tests", *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QPixmap program_icon(64, 64);
    program_icon.fill(kProgramBlue);
    QApplication::setWindowIcon(program_icon);
    test::TempDir dir;
    const AutostartPlace place{"example.quillet.Quillet", dir.Path("config"), dir.path()};
    test::WriteFile(dir.Path("quillet.ini"), "[Quillet]\r\nother=line\r\n");
    IniFile settings(dir.Path("quillet.ini"));
    std::string calls;
    TrayIcon tray({[&] { calls += "show "; }, [&] { calls += "setup "; },
                   [&] { calls += "again "; }, [&] { calls += "quit "; },
                   [&] { return HasAutostartEntry(place); },
                   [&](bool on) {
                       on ? WriteAutostartEntry(place, "/bin/q", {}) : RemoveAutostartEntry(place);
                   },
                   [&] { return ReadKeepRunningInTray(settings); },
                   [&](bool on) { (void)WriteKeepRunningInTray(settings, on); },
                   [&] { calls += "history "; }});
    ASSERT_TRUE(QTest::qWaitFor(&TrayIcon::Available, 10000)) << "no tray on the display";
    tray.Show();
    ASSERT_TRUE(QTest::qWaitFor([] { return DockedIcon() != nullptr; }, 10000));
    const struct {
        int waiting, failed, delivered, partly;
        std::set<QRgb> shown;
        const char* tip;
    } states[] = {
        {1, 0, 2, 0, {kProgramBlue, kWaitingAmber}, "Quillet: 2 delivered, 1 waiting, 0 failed"},
        {3,
         1,
         0,
         1,
         {kProgramBlue, kFailedRed},
         "Quillet: 0 delivered, 3 waiting, 1 failed (1 of them delivered to some recipients only)"},
        {0, 0, 5, 0, {kProgramBlue}, "Quillet: 5 delivered, 0 waiting, 0 failed"}};
    for (const auto& state : states) {
        tray.ShowState(state.waiting, state.failed, state.delivered, state.partly);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Shown(tray.icon()) == state.shown; }, 5000));
        EXPECT_EQ(tray.icon().toolTip().toStdString(), state.tip);
    }
    QStringList items;
    for (QAction* item : tray.menu().actions()) {
        items << (item->isSeparator() ? "-" : item->text());
        if (!item->isCheckable()) {
            item->trigger();  // "Send Failed Again" is off: nothing failed
        }
    }
    EXPECT_EQ(items.join("|"),
              "Show Quillet|E-mail Setup...|History...|Send Failed Again|-|Start with the "
              "Desktop|Keep Running in the Tray|-|Quit");
    tray.ShowState(0, 1, 0, 0);
    tray.menu().actions()[3]->trigger();
    QTest::mouseClick(DockedIcon(), Qt::LeftButton);
    EXPECT_EQ(calls, "show setup history quit again show ");
    // The checks set the settings, and show them afresh each time the menu opens.
    tray.menu().actions()[5]->trigger();
    tray.menu().actions()[6]->trigger();
    EXPECT_EQ(ReadFile(dir.Path("quillet.ini")),
              "[Quillet]\r\nother=line\r\nY2hrS2VlcEluVHJheQ$$=MQ$$\r\n");  // "chkKeepInTray=1"
    ASSERT_TRUE(HasAutostartEntry(place) && !RemoveAutostartEntry(place));
    tray.menu().popup(QPoint(0, 0));
    EXPECT_TRUE(!tray.menu().actions()[5]->isChecked() && tray.menu().actions()[6]->isChecked());
}

// With the tray setting on, the user's close hides the main window and the program goes on;
// with it off, the close unloads (the settings saved) and ends the program.
TEST(BackgroundServiceTest, TheUsersCloseHidesIntoTheTrayOnlyWhenAsked) {
    int argc = 1;
    char name[] = "tray_tests", *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    ASSERT_TRUE(QTest::qWaitFor(&TrayIcon::Available, 10000));
    test::TempDir dir;
    for (const bool keep_running : {true, false}) {
        test::RecordingTransport transport;
        test::MemoryProfile file;
        test::InlineOutbox outbox;
        QtScreen screen;
        SetupDialogSlot setup({transport, outbox.runner, file, screen});
        MainDesk main(setup, screen, ".", outbox.Services(transport));
        formQuillet& form = main.form;
        MainWindow window(form);
        screen.SetMainWindow(&window);
        form.Form_Load();
        BackgroundService background(form, window, screen,
                                     {{"example.quillet.Quillet", dir.path(), dir.path()},
                                      "/bin/q",
                                      {},
                                      [keep_running] { return keep_running; },
                                      [](bool) {},
                                      {},
                                      &outbox.notes});
        window.show();
        window.close();
        EXPECT_FALSE(window.isVisible());
        // Said through the desktop's notifications, as every other notice.
        EXPECT_EQ(outbox.notes.seen.size(), keep_running ? 1u : 0u);
        EXPECT_EQ(outbox.notes.seen.empty() ? "" : outbox.notes.seen[0],
                  keep_running
                      ? "Quillet keeps running in the tray | " + std::string(kKeepsRunningText)
                      : "");
        EXPECT_EQ(setup.IsLoaded(), keep_running) << keep_running;
        EXPECT_EQ(file.saved.empty(), keep_running);  // saved only by the unload
    }
}

TEST(AutostartEntryTest, ValidEntriesStartTheProgramWithItsArgumentsAndGoAway) {
    test::TempDir dir;
    const AutostartPlace place{"example.quillet.Quillet", "relative/is/ignored", dir.path()};
    const std::string path = AutostartEntryPath(place);
    EXPECT_EQ(path, dir.Path(".config/autostart/example.quillet.Quillet.desktop"));
    const std::pair<std::vector<std::string>, const char*> entries[] = {
        {{"/usr/bin/quillet"}, "Exec=/usr/bin/quillet\n"},
        {{"/my apps/q", "-s", "/a b"}, "Exec=\"/my apps/q\" -s \"/a b\"\n"},
        {{"/q", "1%", "a\"b$c`d\\e", ""}, R"(Exec=/q 1%% "a\\"b\\$c\\`d\\\\e" "")"}};
    for (const auto& [words, exec] : entries) {
        ASSERT_FALSE(WriteAutostartEntry(place, words[0], {words.begin() + 1, words.end()}));
        EXPECT_NE(ReadFile(path).find(exec), std::string::npos) << ReadFile(path);
        const std::string validate =
            "desktop-file-validate " + path + " >" + dir.Path("said") + " 2>&1";
        EXPECT_TRUE(std::system(validate.c_str()) == 0 && ReadFile(dir.Path("said")).empty())
            << ReadFile(dir.Path("said"));
        EXPECT_TRUE(HasAutostartEntry(place));
    }
    test::WriteFile(path, ReadFile(path) + "Hidden=true\n");  // how a desktop switches it off
    EXPECT_FALSE(HasAutostartEntry(place));
    EXPECT_FALSE(RemoveAutostartEntry(place) || RemoveAutostartEntry(place));
    EXPECT_TRUE(WriteAutostartEntry(place, "/usr/bin/quillet", {"\xff"}));  // not UTF-8
    EXPECT_FALSE(HasAutostartEntry(place));
}

TEST(QuitQuestionTest, NamesWhatQuittingLeavesUndone) {
    EXPECT_FALSE(QuitQuestion(0, false));
    for (const auto& [waiting, connected, start] :
         {std::tuple(1, false, "1 order mail is waiting to be sent; it goes out"),
          std::tuple(2, true, "2 order mails are waiting to be sent; they go out"),
          std::tuple(0, true, "The platform is connected")}) {
        const std::string question = QuitQuestion(waiting, connected).value_or("");
        EXPECT_TRUE(question.starts_with(start) && question.ends_with("Quit Quillet?")) << question;
        EXPECT_EQ(question.find("connected") != std::string::npos, connected) << question;
    }
}

// The buttons say what they do, and Enter, like Escape, keeps the program running.
TEST(QuitBoxTest, VerbButtonsAndEnterKeepsRunning) {
    int argc = 1;
    char name[] = "tray_tests", *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const auto answer = [](bool tray, const std::function<void(QMessageBox&)>& user) {
        const auto box = MakeQuitBox(nullptr, "1 order mail is waiting. Quit Quillet?", tray);
        box->show();
        QStringList buttons;
        for (QAbstractButton* button : box->findChildren<QPushButton*>()) {
            buttons << button->text();
        }
        buttons.sort();
        user(*box);
        return std::pair(buttons.join("|").toStdString(), QuitChoiceOf(*box));
    };
    const auto key = [](Qt::Key pressed) {
        return [pressed](QMessageBox& box) {
            QTest::keyClick(box.focusWidget() ? box.focusWidget() : &box, pressed);
        };
    };
    const auto click = [](const char* text) {
        return [text](QMessageBox& box) {
            for (QPushButton* button : box.findChildren<QPushButton*>()) {
                if (button->text() == text) {
                    button->click();
                }
            }
        };
    };
    using Choice = QuitChoice;
    const struct {
        bool tray;
        std::function<void(QMessageBox&)> user;
        std::string buttons;
        Choice choice;
    } cases[] = {
        {true, key(Qt::Key_Return), "Keep Running|Keep Running in the Tray|Quit",
         Choice::kKeepRunning},
        {false, key(Qt::Key_Enter), "Keep Running|Quit", Choice::kKeepRunning},
        {true, key(Qt::Key_Escape), "Keep Running|Keep Running in the Tray|Quit",
         Choice::kKeepRunning},
        {true, click("Keep Running in the Tray"), "Keep Running|Keep Running in the Tray|Quit",
         Choice::kKeepRunningInTray},
        {false, click("Quit"), "Keep Running|Quit", Choice::kQuit},
    };
    for (const auto& c : cases) {
        const auto [buttons, choice] = answer(c.tray, c.user);
        EXPECT_EQ(buttons, c.buttons);
        EXPECT_EQ(choice, c.choice) << buttons;
    }
}

}  // namespace
}  // namespace quillet
