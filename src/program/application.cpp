#include "program/application.h"

#include <QLocale>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/shell/program_files.h"
#include "app/wire/control_protocol.h"
#include "platform/http/http_token.h"
#include "platform/journal/journal_first_mails.h"
#include "platform/profile/history_setting.h"
#include "platform/profile/settings_folder.h"
#include "platform/profile/tray_setting.h"
#include "platform/qt/autostart_entry.h"
#include "platform/standard_error_log.h"
#include "program/environment_tuning.h"
#include "program/one_run.h"

namespace quillet {
namespace {

// How long the end waits for what is still owed: the last replies and notices, the keyring.
constexpr std::chrono::seconds kRepliesAtEnd(2);
constexpr std::chrono::seconds kNoticesAtEnd(2);
constexpr std::chrono::seconds kKeyringAtEnd(5);

// Servers' certificates are checked against the system's CAs, or against those of the file
// that $SSL_CERT_FILE names (as for OpenSSL's own default), never not at all.
CurlSmtpTransport::Options MailOptions() {
    CurlSmtpTransport::Options options;
    if (const char* ca_file = std::getenv("SSL_CERT_FILE"); ca_file != nullptr) {
        options.ca_file = ca_file;
    }
    options.keep_idle = SmtpKeepFromEnvironment();
    return options;
}

// How long the journal keeps its rows: ninety days unless --keep-history said otherwise.
std::chrono::hours JournalKeep(const std::string& settings_file) {
    IniFile history_setting(settings_file);
    return std::chrono::hours(24 * ReadHistoryDays(history_setting));
}

// Runs `task` on a later pass of the window's event loop; callable from any thread.
void PostToEventLoop(std::function<void()> task) {
    QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// What an autostart entry starts the program with: the settings file and the socket this run
// was told, as absolute paths, so that the desktop starts the same Quillet from anywhere.
std::vector<std::string> AutostartArguments(const CommandLine& command) {
    std::vector<std::string> arguments;
    std::error_code ignored;
    for (const auto& [option, path] :
         {std::pair{"--settings", command.settings}, std::pair{"--socket", command.socket}}) {
        if (!path.empty()) {
            arguments.insert(arguments.end(),
                             {option, std::filesystem::absolute(path, ignored).string()});
        }
    }
    return arguments;
}

}  // namespace

Application::Application(const CommandLine& command, const ProgramPlaces& places,
                         std::optional<InstanceLock> lock, StartProblems problems)
    : command_(command),
      places_(places),
      lock_(std::move(lock)),
      problems_(std::move(problems)),
      transport_(MailOptions()),
      outbox_folder_(places.files.outbox, lock_.has_value()),
      mail_worker_(
          [this](std::function<void()> task) { mail_outcomes_.Post(std::move(task)); },
          [this](std::function<void()> task) { mail_outcomes_.BeforeWaiting(std::move(task)); }),
      outbox_writes_(
          [this](std::function<void()> task) { mail_outcomes_.Post(std::move(task)); },
          [this](std::function<void()> task) { mail_outcomes_.BeforeWaiting(std::move(task)); }),
      settings_file_(places.settings_file),
      // The help: the compiled help file when the desktop opens it, else the HTML pages.
      help_(places.help,
            [this](const std::string& text) {
                screen_.ShowMessage(text, "Quillet for Corvana", MessageIcon::Critical);
            }),
      account_sources_(account_services_.Sources()),
      setup_({transport_, mail_worker_, settings_file_, screen_, &account_sources_,
              [this] { main_.form.RetryWaitingMail(); },
              [this](bool on, const std::string& port) { return FollowHttpSetting(on, port); },
              &SayOnStandardError,
              [this] {
                  if (watch_) {
                      watch_->OpenSettings(QApplication::activeModalWidget());
                  }
              }},
             &passwords_),
      // Notices under the installed icon and desktop entry; a click on one opens it.
      notifier_({QUILLET_APP_ID, QUILLET_APP_ID}),
      journal_(std::in_place, places.files.journal, JournalKeep(places.settings_file)),
      main_(setup_, screen_, QLocale().decimalPoint().toStdString(),
            OutboxServices{outbox_folder_,
                           mail_worker_,
                           transport_,
                           notifier_,
                           {},
                           [this](std::chrono::milliseconds delay, std::function<void()> task) {
                               if (timers_) {
                                   QTimer::singleShot(delay, timers_.get(), std::move(task));
                               }
                           },
                           &NowMs,
                           RetryScheduleFromEnvironment(),
                           &outbox_writes_,
                           nullptr,
                           std::chrono::seconds(5),
                           std::chrono::seconds(10),
                           &*journal_,
                           &SayOnStandardError,
                           [this](const MailOutcome& outcome) {
                               if (server_) {
                                   server_->Broadcast(FormatMailOutcome(outcome));
                               }
                           },
                           [this] { return dispatcher_ && dispatcher_->HasWaiting(); }}),
      // Stopped from outside, the program still saves its settings. Taken before the socket
      // appears; a signal is acted on once the event loop runs, when the window stands.
      stop_signals_([this] { screen_.UnloadMainWindow(); }),
      tray_settings_(places.settings_file) {
    screen_.SetHelpOpener(&help_);
    screen_.SetSetupDialogSlot(&setup_);
    notifier_.SetOpened([this](const std::string& order_id) { NoticeOpened(order_id); });
}

Application::~Application() {
    Stop();
}

int Application::Run() {
    int status = 0;
    if (!Start(status)) {
        return status;
    }
    status = QApplication::exec();
    Stop();
    return status;
}

bool Application::Start(int& status) {
    // The alarm sees every event and the FIX session's state; the summary goes before Shutdown.
    watch_.emplace(places_.settings_file, places_.files.journal,
                   WatchService::Services{main_.outbox, journal_ ? &*journal_ : nullptr, notifier_,
                                          setup_, screen_});
    // The orders' first mails, which their later mails follow, are read off this thread; the
    // events wait for them (a moment: at most the five seconds a busy journal may take).
    main_.desk.AwaitThreads();
    auto first_mails = std::make_shared<std::map<std::string, std::string>>();
    outbox_writes_.Submit(
        [path = places_.files.journal, first_mails] {
            if (auto read = ReadFirstMails(path); read.ok()) {
                *first_mails = std::move(read).value();
            } else {
                std::cerr << "quillet: the mails of earlier runs' orders cannot be followed: "
                          << read.error().message << '\n';
            }
            return SendResult{};
        },
        [this, first_mails](const SendResult&) { main_.desk.ThreadsKnown(*first_mails); });
    // Listen first: a second Quillet must stop before it touches the settings.
    dispatcher_.emplace(
        [this](const OrderEvent& event, const EventOrigin& origin, OrderDispatcher::Finish finish) {
            watch_->Saw(event);
            if (std::holds_alternative<Shutdown>(event)) {  // the day's summary first, if due
                watch_->BeforeShutdown([this, event, origin, finish = std::move(finish)]() mutable {
                    main_.desk.Handle(event, origin, std::move(finish));
                });
                return;
            }
            main_.desk.Handle(event, origin, std::move(finish));
        },
        &PostToEventLoop);
    server_.emplace(*dispatcher_);
    const ControlSocketLocation socket =
        command_.socket.empty() ? LocateControlSocket(CurrentControlSocketEnvironment())
                                : ControlSocketLocation{command_.socket, {}};
    if (const std::string error = server_->Start(socket); !error.empty()) {
        status = HandOverToSocketHolder(socket, error);
        return false;
    }
    if (lock_) {
        if (const auto error =
                lock_->RecordSocket(std::filesystem::absolute(server_->socket_path()).string())) {
            std::cerr << "quillet: the socket cannot be recorded for a later start: " << *error
                      << '\n';
        }
    }
    // The FIX drop copy, when quillet-fix.cfg (or --fix-config) names its sessions.
    fix_.emplace(
        *dispatcher_, &PostToEventLoop,
        [this](const std::string& state, const std::string& detail) {
            main_.form.SetFixState(state, detail);
            watch_->FixState(state, detail);
        },
        FixSourceConfig{places_.files.fix_config, places_.files.fix_config_named,
                        places_.files.fix_store,
                        QCoreApplication::applicationFilePath().toStdString(),
                        FixHandlingWaitFromEnvironment()});
    // The local HTTP endpoint follows its setting (the setup dialog's load, the check box and
    // its close) unless --http names the port.
    http_.emplace(*dispatcher_, places_.files.http_token, command_.http_port);
    window_.emplace(main_.form);
    screen_.SetMainWindow(&*window_);
    // The History window over the order journal beside the settings.
    history_.emplace(QString::fromStdString(places_.files.journal), &help_);
    help_.AddHelpKey(*window_, "index.html");
    window_->SetShowHistory([this] { history_->Show(); });
    // A first start, with no settings file yet: the window offers to set up e-mail.
    if (std::error_code unknown;
        !std::filesystem::exists(places_.settings_file, unknown) && !unknown) {
        main_.form.OfferMailSetup();
    }
    main_.form.Form_Load();
    // The tray: closing the window may keep the program running, and quitting asks first.
    QApplication::setQuitOnLastWindowClosed(false);  // the main window's close ends the loop
    background_.emplace(
        main_.form, *window_, screen_,
        BackgroundOptions{AutostartPlaceFromEnvironment(QUILLET_APP_ID),
                          QCoreApplication::applicationFilePath().toStdString(),
                          AutostartArguments(command_),
                          [this] { return ReadKeepRunningInTray(tray_settings_); },
                          [this](bool on) {
                              if (const Result<> saved = WriteKeepRunningInTray(tray_settings_, on);
                                  !saved.ok()) {
                                  std::cerr << "quillet: the setting could not be saved: "
                                            << saved.error().message << '\n';
                              }
                          },
                          [this] { history_->Show(); }, &notifier_});
    window_->show();
    std::cerr << "quillet: listening for order events on " << server_->socket_path() << '\n';
    // Told once the window stands and takes events.
    if (problems_.folder_error) {
        screen_.ShowMessage("The settings cannot be saved: " + *problems_.folder_error, "Quillet",
                            MessageIcon::Exclamation);
    }
    if (problems_.lock_error) {
        const std::string told =
            "Mails kept from an earlier run are left in the outbox: " + *problems_.lock_error;
        notifier_.Notify({"Quillet does not own its settings", told, NoticeUrgency::Critical});
        screen_.ShowMessage(told, "Quillet", MessageIcon::Exclamation);
    }
    return true;
}

void Application::Stop() {
    if (std::exchange(stopped_, true)) {
        return;
    }
    // 1. The order sources stop taking events; the outbox's timers fire no more.
    fix_.reset();
    http_.reset();
    if (server_) {
        // A reply the loop could not write (a slow Shutdown client's) gets its time.
        server_->FlushRepliesAtEnd(kRepliesAtEnd);
    }
    server_.reset();
    dispatcher_.reset();
    watch_.reset();
    timers_.reset();
    // 2. The outbox keeps everything that waits: the window's unload did it, unless the window
    // never stood or the loop ended without it.
    if (window_) {
        window_->Unload();
    }
    // 3. The mail thread: an exchange under way is cut short, and the thread joined; then the
    // outbox's writer, whose writes the unload has made already.
    transport_.AbortAll();
    mail_worker_.Stop();
    outbox_writes_.Stop();
    // 4. The stores close: the last notice (of mails lost, say); the password saved last
    // leaves the settings file once the keyring has it, and the file keeps it when the keyring
    // takes longer; the journal writes what it still holds.
    notifier_.FinishAtEnd(kNoticesAtEnd);
    passwords_.Finish(kKeyringAtEnd);
    journal_.reset();
}

HttpRowState Application::FollowHttpSetting(bool on, const std::string& port) {
    if (!http_) {
        return {};
    }
    const HttpSwitchOutcome outcome = http_->Follow(on, port);
    if (!outcome.error.empty()) {
        std::cerr << "quillet: " << outcome.error << '\n';
    }
    return HttpRowState{outcome.token, outcome.error};
}

// A click on a notice shows its order in the History window, else the main window.
void Application::NoticeOpened(const std::string& order_id) {
    if (order_id.empty() || !history_ || !history_->ShowOrder(QString::fromStdString(order_id))) {
        screen_.BringMainWindowToFront();
    }
}

}  // namespace quillet
