// Quillet: order events in, an order line on screen and in the recipients' mail. This file puts
// the layers and their adapters together; it is the only one that sees them all.
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "app/form_quillet.h"
#include "app/order_dispatcher.h"
#include "app/program_files.h"
#include "mail/mail_worker.h"
#include "platform/accounts/account_services.h"
#include "platform/atomic_file.h"
#include "platform/control/control_server.h"
#include "platform/control/second_start.h"
#include "platform/fix/fix_source.h"
#include "platform/history/history_export.h"
#include "platform/history/journal_reader.h"
#include "platform/http/http_endpoint_switch.h"
#include "platform/http/http_token.h"
#include "platform/journal/journal_writer.h"
#include "platform/keyring/keychain_password_store.h"
#include "platform/notify/desktop_notifier.h"
#include "platform/outbox/outbox_folder.h"
#include "platform/profile/history_setting.h"
#include "platform/profile/ini_file.h"
#include "platform/profile/instance_lock.h"
#include "platform/profile/settings_folder.h"
#include "platform/profile/tray_setting.h"
#include "platform/qt/background_service.h"
#include "platform/qt/command_line.h"
#include "platform/qt/event_loop_post.h"
#include "platform/qt/history_opener.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qt_screen.h"
#include "platform/qt/termination_signals.h"
#include "platform/smtp/curl_smtp_transport.h"
#include "program_places.h"
#include "settings/setup_dialog_slot.h"

namespace {

// The program's name, version and icon, which every window shows.
void Identify(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLET_APP_ID));
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size));
    }
    app.setWindowIcon(icon);
}

// The retry schedule: $QUILLET_RETRY_SCHEDULE when it is one (see ParseRetrySchedule), else
// the usual one.
quillet::RetrySchedule RetryScheduleFromEnvironment() {
    const char* text = std::getenv("QUILLET_RETRY_SCHEDULE");
    if (text == nullptr || *text == '\0') {
        return {};
    }
    if (auto schedule = quillet::ParseRetrySchedule(text)) {
        return *schedule;
    }
    std::cerr << "quillet: QUILLET_RETRY_SCHEDULE is not a schedule, so the usual one holds: "
              << text << '\n';
    return {};
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// When another Quillet holds the socket, it is asked to show its window instead.
int SecondStartOr(const quillet::ControlSocketLocation& socket, const std::string& error) {
    const quillet::SecondStart second =
        quillet::AskRunningQuilletToShow(socket, error, std::chrono::seconds(30));
    std::cerr << "quillet: " << second.message << '\n';
    return second.shown ? 0 : 1;
}

// Another run owns this settings file and its outbox: it is asked to show its window, and this
// one ends without sending anything. When it cannot be reached, the user is told why this start
// ends, on standard error and, on a screen someone looks at, in a message box.
int OwnedElsewhere(const quillet::InstanceLockAttempt& attempt, const std::string& settings_file) {
    std::string message = "Quillet is already running with the settings file " + settings_file;
    if (!attempt.holder_socket.empty()) {
        const quillet::SecondStart second = quillet::AskRunningQuilletToShow(
            {attempt.holder_socket, {}}, "its socket " + attempt.holder_socket + " does not answer",
            std::chrono::seconds(30));
        if (second.shown) {
            std::cerr << "quillet: " << message << "; its window is brought to the front\n";
            return 0;
        }
        message += " (" + second.message + ")";
    }
    message += ". This start ends so that no mail is sent twice.";
    std::cerr << "quillet: " << message << '\n';
    if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillet"), QString::fromStdString(message));
    }
    return 1;
}

// How long an SMTP connection stays open for the next mail: $QUILLET_SMTP_KEEP_SECONDS when it
// is a whole number from 0 (close after every mail) to 60, else a minute.
std::chrono::seconds SmtpKeepFromEnvironment() {
    constexpr std::chrono::seconds kUsual(60);
    const char* text = std::getenv("QUILLET_SMTP_KEEP_SECONDS");
    if (text == nullptr || *text == '\0') {
        return kUsual;
    }
    char* end = nullptr;
    const long seconds = std::strtol(text, &end, 10);
    if (*end != '\0' || seconds < 0 || seconds > kUsual.count()) {
        std::cerr << "quillet: QUILLET_SMTP_KEEP_SECONDS is not 0 to 60, so a minute holds: "
                  << text << '\n';
        return kUsual;
    }
    return std::chrono::seconds(seconds);
}

// What an autostart entry starts the program with: the settings file and the socket this run
// was told, as absolute paths, so that the desktop starts the same Quillet from anywhere.
std::vector<std::string> AutostartArguments(const quillet::CommandLine& command) {
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

// The settings file of a command that needs no display: --settings, or where this program
// keeps it; nothing, once standard error says why, when there is none.
std::optional<std::string> CommandSettingsFile(const std::string& settings_option) {
    std::error_code error;
    const auto executable = std::filesystem::canonical("/proc/self/exe", error);
    const quillet::ProgramPlaces places = quillet::FindProgramPlaces(executable, settings_option);
    if (!places.error.empty()) {
        std::cerr << "quillet: " << places.error << "; name a settings file with --settings\n";
        return std::nullopt;
    }
    return places.settings_file;
}

// --http-token: prints the HTTP endpoint's token, made first when there is none, with no
// display needed.
int PrintHttpToken(const std::string& settings_option) {
    const std::optional<std::string> settings_path = CommandSettingsFile(settings_option);
    if (!settings_path) {
        return 1;
    }
    const quillet::HttpToken token =
        quillet::ReadOrMakeHttpToken(quillet::HttpTokenPath(*settings_path));
    if (!token.error.empty()) {
        std::cerr << "quillet: " << token.error << '\n';
        return 1;
    }
    std::cout << token.token << '\n';
    return 0;
}

// --keep-history DAYS: stores how long the journal keeps its rows, from the next start on.
int KeepHistory(const std::string& settings_option, int days) {
    const std::optional<std::string> settings_path = CommandSettingsFile(settings_option);
    if (!settings_path) {
        return 1;
    }
    quillet::IniFile settings_file(*settings_path);
    if (const auto failure = quillet::WriteHistoryDays(settings_file, days)) {
        std::cerr << "quillet: the setting could not be saved: " << *failure << '\n';
        return 1;
    }
    std::cout << "The journal keeps " << days << (days == 1 ? " day" : " days")
              << " of order events from the next start on.\n";
    return 0;
}

// --history: prints the journal's events, oldest first, with no display needed.
int PrintHistory(int argc, char* argv[], const quillet::CommandLine& command) {
    QCoreApplication core(argc, argv);  // for Qt SQL's driver
    const std::optional<std::string> settings_path = CommandSettingsFile(command.settings);
    if (!settings_path) {
        return 1;
    }
    quillet::JournalReader journal(
        QString::fromStdString(quillet::JournalFilePath(*settings_path)));
    quillet::HistoryFilter filter;
    filter.descending = false;
    if (command.history_span) {
        filter.span = quillet::TimeSpan{command.history_span->first, command.history_span->second};
    }
    const std::optional<std::string> text =
        quillet::HistoryText(journal, filter, command.history_csv ? ',' : '\t');
    if (!text) {
        std::cerr << "quillet: the journal cannot be read: " << journal.error().toStdString()
                  << '\n';
        return 1;
    }
    std::cout << *text << std::flush;
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace quillet;
    // --help and --version need no display: answered before the window system starts.
    if (const CommandLine early = ReadCommandLine(RawArguments(argc, argv), QUILLET_VERSION);
        early.exit_status == 0) {
        return EndWith(early);
    } else if (!early.exit_status && early.print_http_token) {
        return PrintHttpToken(early.settings);
    } else if (!early.exit_status && early.print_history) {
        return PrintHistory(argc, argv, early);
    } else if (!early.exit_status && early.keep_history_days) {
        return KeepHistory(early.settings, *early.keep_history_days);
    }
    QApplication app(argc, argv);
    Identify(app);
    const CommandLine command = ReadCommandLine(QCoreApplication::arguments(), QUILLET_VERSION);
    if (command.exit_status) {
        return EndWith(command);
    }

    const ProgramPlaces places =
        FindProgramPlaces(QCoreApplication::applicationFilePath().toStdString(), command.settings);
    if (!places.error.empty()) {
        std::cerr << "quillet: " << places.error << "; name a settings file with --settings\n";
        return 1;
    }
    // One run per settings file: taken before anything is sent or the socket is taken.
    const std::optional<std::string> folder_error = CreateSettingsFolder(places.settings_folder);
    InstanceLockAttempt owner = TakeInstanceLock(places.settings_file, std::chrono::seconds(10));
    if (owner.held_elsewhere) {
        return OwnedElsewhere(owner, places.settings_file);
    }
    if (!owner.lock) {
        std::cerr << "quillet: " << owner.error
                  << "; another Quillet on the same settings would not be noticed\n";
    } else {
        RemoveLeftTemporaries(places.settings_file);  // of a save that was killed
    }
    const auto post = [&app](std::function<void()> task) {
        QMetaObject::invokeMethod(&app, std::move(task), Qt::QueuedConnection);
    };
    // Servers' certificates are checked against the system's CAs, or against those of the
    // file that $SSL_CERT_FILE names (as for OpenSSL's own default), never not at all.
    CurlSmtpTransport::Options mail_options;
    if (const char* ca_file = std::getenv("SSL_CERT_FILE"); ca_file != nullptr) {
        mail_options.ca_file = ca_file;
    }
    mail_options.keep_idle = SmtpKeepFromEnvironment();
    CurlSmtpTransport transport(mail_options);
    IniFile settings_file(places.settings_file);
    QtScreen screen;
    // The help: the compiled help file when the desktop opens it, else the HTML pages.
    HelpOpener help(places.help, [&screen](const std::string& text) {
        screen.ShowMessage(text, "Quillet for Corvana", MessageIcon::Critical);
    });
    screen.SetHelpOpener(&help);
    AccountServices account_services;  // the mail accounts of the Wine prefix
    const AccountSources account_sources = account_services.Sources();
    std::function<void()> retry_waiting;  // set once the main form stands
    std::function<HttpRowState(bool, const std::string&)> follow_http;  // set with the dispatcher
    // Every SMTP exchange runs on the mail thread: order mails, retries and the test message.
    EventLoopPost mail_outcomes;  // how the mail thread's outcomes reach this thread
    MailWorker mail_worker(
        [&mail_outcomes](std::function<void()> task) { mail_outcomes.Post(std::move(task)); },
        [&mail_outcomes](std::function<void()> task) {
            mail_outcomes.BeforeWaiting(std::move(task));
        });
    KeychainPasswordStore passwords;  // the mail account's password, when a keyring answers
    SetupDialogSlot setup({transport, mail_worker, settings_file, screen, &account_sources,
                           [&retry_waiting] { retry_waiting(); },
                           [&follow_http](bool on, const std::string& port) {
                               return follow_http ? follow_http(on, port) : HttpRowState{};
                           }},
                          &passwords);
    screen.SetSetupDialogSlot(&setup);

    // Order mails wait in the outbox beside the settings until the server has taken them.
    OutboxFolder outbox_folder(OutboxFolderPath(places.settings_file), owner.lock.has_value());
    // Notices under the installed icon and desktop entry; a click on one opens it (below).
    DesktopNotifier notifier({QUILLET_APP_ID, QUILLET_APP_ID});
    // What became of every order and its mail, for the History window; kept ninety days
    // unless --keep-history said otherwise.
    IniFile history_setting(places.settings_file);
    JournalWriter journal(JournalFilePath(places.settings_file),
                          std::chrono::hours(24 * ReadHistoryDays(history_setting)));
    OutboxServices outbox_services{
        outbox_folder,
        mail_worker,
        transport,
        notifier,
        {},
        [&app](std::chrono::milliseconds delay, std::function<void()> task) {
            QTimer::singleShot(delay, &app, std::move(task));
        },
        &NowMs,
        RetryScheduleFromEnvironment(),
        std::chrono::milliseconds(250)};
    outbox_services.journal = &journal;
    formQuillet form(setup, screen, QLocale().decimalPoint().toStdString(),
                     std::move(outbox_services));
    retry_waiting = [&form] { form.RetryWaitingMail(); };

    // Stopped from outside, the program still saves its settings. Taken before the socket
    // appears; a signal is acted on once the event loop runs, when the window stands.
    TerminationSignals stop_signals([&screen] { screen.UnloadMainWindow(); });

    // Listen first: a second Quillet must stop before it touches the settings.
    OrderDispatcher dispatcher(
        [&form](OrderEvent& event, EventSource source, OrderDispatcher::Finish finish) {
            form.HandleEvent(event, std::move(finish), source);
        },
        post);
    ControlServer server(dispatcher);
    const ControlSocketLocation socket =
        command.socket.empty() ? LocateControlSocket(CurrentControlSocketEnvironment())
                               : ControlSocketLocation{command.socket, {}};
    if (const std::string error = server.Start(socket); !error.empty()) {
        return SecondStartOr(socket, error);
    }
    if (owner.lock) {
        if (const auto error = owner.lock->RecordSocket(
                std::filesystem::absolute(server.socket_path()).string())) {
            std::cerr << "quillet: the socket cannot be recorded for a later start: " << *error
                      << '\n';
        }
    }
    // The FIX drop copy, when quillet-fix.cfg (or --fix-config) names its sessions.
    FixSource fix(dispatcher, post,
                  [&form](const std::string& state, const std::string& detail) {
                      form.SetFixState(state, detail);
                  },
                  {places.settings_file, command.fix_config,
                   QCoreApplication::applicationFilePath().toStdString()});
    // The local HTTP endpoint follows its setting (the setup dialog's load, the check box and
    // its close) unless --http names the port.
    HttpEndpointSwitch http(dispatcher, HttpTokenPath(places.settings_file), command.http_port);
    follow_http = [&http](bool on, const std::string& port) {
        const HttpSwitchOutcome outcome = http.Follow(on, port);
        if (!outcome.error.empty()) {
            std::cerr << "quillet: " << outcome.error << '\n';
        }
        return HttpRowState{outcome.token, outcome.error};
    };
    if (folder_error) {
        screen.ShowMessage("The settings cannot be saved: " + *folder_error, "Quillet",
                           MessageIcon::Exclamation);
    }

    MainWindow window(form);
    screen.SetMainWindow(&window);
    // The History window over the order journal beside the settings.
    HistoryOpener history(QString::fromStdString(quillet::JournalFilePath(places.settings_file)),
                          &help);
    help.AddHelpKey(window, "index.html");
    window.SetShowHistory([&history] { history.Show(); });
    // A click on a notice shows its order in the History window, else the main window.
    notifier.SetOpened([&history, &screen](const std::string& order_id) {
        if (order_id.empty() || !history.ShowOrder(QString::fromStdString(order_id))) {
            screen.BringMainWindowToFront();
        }
    });
    form.Form_Load();
    // The tray: closing the window may keep the program running, and quitting asks first.
    QApplication::setQuitOnLastWindowClosed(false);  // the main window's close ends the loop
    IniFile tray_settings(places.settings_file);     // its own, so no unsaved edit is lost
    BackgroundService background(
        form, window, screen,
        {AutostartPlaceFromEnvironment(QUILLET_APP_ID),
         QCoreApplication::applicationFilePath().toStdString(), AutostartArguments(command),
         [&tray_settings] { return ReadKeepRunningInTray(tray_settings); },
         [&tray_settings](bool on) {
             if (const auto error = WriteKeepRunningInTray(tray_settings, on)) {
                 std::cerr << "quillet: the setting could not be saved: " << *error << '\n';
             }
         },
         [&history] { history.Show(); }});
    window.show();
    std::cerr << "quillet: listening for order events on " << server.socket_path() << '\n';
    const int status = QApplication::exec();
    transport.AbortAll();  // a retry under way must not hold up the end
    // The window is gone: a reply the loop could not write (a slow Shutdown client's) gets
    // two seconds.
    server.FlushRepliesAtEnd(std::chrono::seconds(2));
    notifier.FinishAtEnd(std::chrono::seconds(2));  // the last notice, of mails lost, say
    // The password saved last leaves the settings file once the keyring has it; the file
    // keeps it when the keyring takes longer.
    passwords.Finish(std::chrono::seconds(5));
    return status;
}
