// The program's icon in the desktop's system tray: it shows how the day's order mails stand,
// says the counts in its tip, and its menu reaches the window, the setup dialog, the history, a
// new try of the failed mails, the two start-and-close settings and Quit.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <string_view>

namespace quillet {

// What the icon's menu and a click on it do; an empty one does nothing. The two settings are
// read each time the menu opens and again after they are set, so the checks show what took
// effect. None may destroy the TrayIcon while it runs (quitting ends the event loop later).
struct TrayActions {
    std::function<void()> show_window;
    std::function<void()> email_setup;
    std::function<void()> send_failed_again;
    std::function<void()> quit;
    std::function<bool()> start_with_desktop;
    std::function<void(bool)> set_start_with_desktop;
    std::function<bool()> keep_running;  // keep running in the tray when the window is closed
    std::function<void(bool)> set_keep_running;
    std::function<void()> show_history;  // "History..."
};

// What the user reads once the window has closed into the tray.
inline constexpr std::string_view kKeepsRunningText =
    "Order mails still go out; choose Quit in the tray's menu to end Quillet.";

// The worst of the day's mails, which the icon shows.
enum class TrayState { kDelivered, kWaiting, kFailed };

class TrayIcon final : public QObject {
    Q_OBJECT
  public:
    // Hidden until Show(); it shows the state of no mails until ShowState().
    explicit TrayIcon(TrayActions actions);
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Whether the desktop has a tray to show the icon in.
    static bool Available();

    void Show();

    // The icon for the worst of the mails (failed, then waiting, else all delivered), drawn on
    // the program's window icon, the counts in the tip (with, when there are any, the waiting
    // and failed mails that reached some recipients only), and "Send Failed Again" enabled only
    // when a mail has failed.
    void ShowState(int waiting, int failed, int delivered, int partly);

    // Tells the user, once the window has closed, that the program goes on in the tray, in the
    // tray's own balloon: for a desktop without notifications.
    void TellKeepsRunning();

    QMenu& menu() { return *menu_; }
    QSystemTrayIcon& icon() { return *icon_; }

  private:
    QAction* AddAction(const QString& text, const std::function<void()>& action);
    QAction* AddCheck(const QString& text, const std::function<void(bool)>& set);
    void ReadChecks();
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    TrayActions actions_;
    std::unique_ptr<QMenu> menu_;  // before the icon, which refers to it
    std::unique_ptr<QSystemTrayIcon> icon_;
    QAction* send_failed_again_ = nullptr;  // these are the menu's
    QAction* start_with_desktop_ = nullptr;
    QAction* keep_running_ = nullptr;
    TrayState state_ = TrayState::kDelivered;
    bool drawn_ = false;  // whether the icon shows state_ yet
};

}  // namespace quillet
