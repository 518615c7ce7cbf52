// Quillet in the background: the tray icon with the state of the day's mails, its menu,
// closing the main window into the tray when the user has chosen so, the question before
// quitting, and the autostart entry. Without a tray the program behaves as if none of this
// were there, but for the question.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/shell/form_quillet.h"
#include "app/outbox/notifier.h"
#include "platform/qt/autostart_entry.h"
#include "ui/controls.h"

namespace quillet {

class MainWindow;
class Screen;
class TrayIcon;

struct BackgroundOptions {
    AutostartPlace autostart;
    std::string executable;              // what the autostart entry starts
    std::vector<std::string> arguments;  // and with what
    std::function<bool()> keep_running;  // "Keep running in the tray when the window is closed"
    std::function<void(bool)> set_keep_running;
    std::function<void()> show_history;  // "History..." in the tray's menu
    // The desktop's notifications, which say that Quillet keeps running in the tray when they
    // are available; otherwise (and when null) the tray's own balloon says it.
    Notifier* notifier = nullptr;
};

class BackgroundService {
  public:
    // Shows the tray icon when the desktop has a tray, and takes over the user's closing of
    // `window`. All three must outlive the service.
    BackgroundService(formQuillet& form, MainWindow& window, Screen& screen,
                      BackgroundOptions options);
    ~BackgroundService();
    BackgroundService(const BackgroundService&) = delete;
    BackgroundService& operator=(const BackgroundService&) = delete;

    // Whether the user's close of the main window may end the program. With the setting on and
    // a tray, it hides the window instead (the first time saying that Quillet goes on);
    // otherwise, when mails wait or the platform is connected, the user is asked first (see
    // quit_box.h): "Keep Running in the Tray" turns the setting on and hides the window.
    bool MayClose();

  private:
    bool ConfirmQuit();
    void ShowState();

    formQuillet& form_;
    MainWindow& window_;
    Screen& screen_;
    BackgroundOptions options_;
    std::unique_ptr<TrayIcon> tray_;
    bool told_keeps_running_ = false;
    Subscription mail_changes_;
};

}  // namespace quillet
