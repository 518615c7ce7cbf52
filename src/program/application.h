// The running program: it builds every service of a run in one place, owns each of them, and
// stops them in phases. main() reads the command line, settles who owns the settings file,
// makes one Application and runs it.
//
// An order's way through it: a source (the control socket, the HTTP endpoint, the FIX drop
// copy) submits the event to the dispatcher, which hands it to the order desk, one at a time;
// the desk lists its line in the main form and gives its mail to the outbox, which keeps it in
// the outbox folder and sends it on the mail thread; the reply goes back through the dispatcher
// to the source once the mail is safe.
//
// Stopping, once the window's event loop has ended, goes in this order, so that nothing a
// worker thread may still call is destroyed before that thread is joined:
//   1. the order sources stop taking events (FIX, HTTP, the socket, once its last replies are
//      written), and no timer of the outbox fires any more;
//   2. the outbox keeps everything that waits (the window's unload has done so; done again, it
//      does nothing);
//   3. the mail thread stops and is joined;
//   4. the stores close: the last notices, the keyring's writes, the journal.
#pragma once

#include <QApplication>
#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "app/orders/order_dispatcher.h"
#include "app/shell/main_desk.h"
#include "mail/mail_worker.h"
#include "platform/accounts/account_services.h"
#include "platform/control/control_server.h"
#include "platform/fix/fix_source.h"
#include "platform/http/http_endpoint_switch.h"
#include "platform/journal/journal_writer.h"
#include "platform/keyring/keychain_password_store.h"
#include "platform/notify/desktop_notifier.h"
#include "platform/outbox/outbox_folder.h"
#include "platform/profile/ini_file.h"
#include "platform/profile/instance_lock.h"
#include "platform/qt/background_service.h"
#include "platform/qt/command_line.h"
#include "platform/qt/event_loop_post.h"
#include "platform/qt/help_opener.h"
#include "platform/qt/history_opener.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qt_screen.h"
#include "platform/qt/termination_signals.h"
#include "platform/smtp/curl_smtp_transport.h"
#include "program/program_places.h"
#include "program/watch_service.h"
#include "settings/setup_dialog_slot.h"

namespace quillet {

// What went wrong before the run began, told to the user once the window stands.
struct StartProblems {
    std::optional<std::string> folder_error;  // the settings folder could not be made
    // The settings' lock could not be taken (a read-only folder, a lock file that is a link):
    // the run goes on without owning the outbox's kept mails.
    std::optional<std::string> lock_error;
};

class Application {
  public:
    // A run of `command` on the settings of `places`. `lock` is this run's hold on the settings
    // file; none when the lock could not be taken: the run then sends its own mails and leaves
    // those kept in the outbox to a run that holds it. Builds every service; nothing listens
    // and nothing is sent before Run.
    Application(const CommandLine& command, const ProgramPlaces& places,
                std::optional<InstanceLock> lock, StartProblems problems);
    // Stops what Run has not stopped (see above).
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Listens, shows the window and runs the event loop until the window is unloaded, then
    // stops. Gives the exit status: the event loop's; or, when another Quillet holds the socket,
    // that of handing over to it (see HandOverToSocketHolder), with nothing started.
    int Run();

  private:
    // Starts the order sources, the window and the tray: false when the socket is taken, with
    // the status of the hand-over in `status`.
    bool Start(int& status);
    void Stop();
    HttpRowState FollowHttpSetting(bool on, const std::string& port);
    void NoticeOpened(const std::string& order_id);

    const CommandLine command_;
    const ProgramPlaces places_;
    std::optional<InstanceLock> lock_;  // held until the very end
    const StartProblems problems_;
    // What the mail thread uses: built before the thread and destroyed after it.
    CurlSmtpTransport transport_;
    OutboxFolder outbox_folder_;
    EventLoopPost mail_outcomes_;  // how the mail thread's outcomes reach this thread
    MailWorker mail_worker_;
    MailWorker outbox_writes_;  // the outbox's writes of new mails, a batch at a time
    // The window's thread only.
    IniFile settings_file_;
    QtScreen screen_;
    HelpOpener help_;
    AccountServices account_services_;  // the mail accounts of the Wine prefix
    const AccountSources account_sources_;
    KeychainPasswordStore passwords_;  // the mail account's password, when a keyring answers
    SetupDialogSlot setup_;
    DesktopNotifier notifier_;
    std::optional<JournalWriter> journal_;
    // The outbox's timers run in this context: gone, they never fire.
    std::unique_ptr<QObject> timers_ = std::make_unique<QObject>();
    MainDesk main_;  // the main window's form, the outbox and the order desk
    TerminationSignals stop_signals_;
    std::optional<OrderDispatcher> dispatcher_;
    std::optional<ControlServer> server_;
    std::optional<FixSource> fix_;
    std::optional<HttpEndpointSwitch> http_;
    std::optional<MainWindow> window_;
    std::optional<HistoryOpener> history_;
    IniFile tray_settings_;  // its own, so that no unsaved edit of the dialog is lost
    std::optional<BackgroundService> background_;
    std::optional<WatchService> watch_;  // the alarm: from Start until the sources stop
    bool stopped_ = false;
};

}  // namespace quillet
