// Quillet: order events in, an order line on screen and in the recipients' mail.
#include <QApplication>
#include <QLocale>
#include <cstdlib>
#include <iostream>

#include "app/form_quillet.h"
#include "app/program_files.h"
#include "platform/accounts/account_services.h"
#include "platform/control/control_server.h"
#include "platform/profile/ini_file.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qt_screen.h"
#include "platform/qt/termination_signals.h"
#include "platform/smtp/curl_smtp_transport.h"
#include "settings/setup_dialog_slot.h"

int main(int argc, char* argv[]) {
    using namespace quillet;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));

    const std::string executable = QCoreApplication::applicationFilePath().toStdString();
    // Servers' certificates are checked against the system's CAs, or against those of the
    // file that $SSL_CERT_FILE names (as for OpenSSL's own default), never not at all.
    CurlSmtpTransport::Options mail_options;
    if (const char* ca_file = std::getenv("SSL_CERT_FILE"); ca_file != nullptr) {
        mail_options.ca_file = ca_file;
    }
    CurlSmtpTransport transport(mail_options);
    IniFile settings_file(SettingsFilePath(executable));
    QtScreen screen;
    AccountServices account_services;  // the mail accounts of the Wine prefix
    const AccountSources account_sources = account_services.Sources();
    SetupDialogSlot setup(
        {transport, settings_file, screen, HelpFilePath(executable), &account_sources});
    screen.SetSetupDialogSlot(&setup);
    formQuillet form(setup, screen, QLocale().decimalPoint().toStdString());

    // Stopped from outside, the program still saves its settings. Taken before the socket
    // appears; a signal is acted on once the event loop runs, when the window stands.
    TerminationSignals stop_signals([&screen] { screen.UnloadMainWindow(); });

    // Listen first: a second Quillet must stop before it touches the settings.
    ControlServer server([&form](OrderEvent& event) { form.HandleEvent(event); });
    if (const std::string error = server.Start(); !error.empty()) {
        std::cerr << "quillet: " << error << '\n';
        return 1;
    }

    MainWindow window(form);
    screen.SetMainWindow(&window);
    form.Form_Load();
    window.show();
    std::cerr << "quillet: listening for order events on " << server.socket_path() << '\n';
    return QApplication::exec();
}
