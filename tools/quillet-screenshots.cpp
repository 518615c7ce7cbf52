// Draws the main window and the "E-Mail Setup" dialog with sample data and saves each as a
// PNG in the folder given (docs/images by default), for the README. Runs without a display.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>
#include <iostream>

#include "app/shell/main_desk.h"
#include "mail/mail_worker.h"
#include "platform/notify/desktop_notifier.h"
#include "platform/outbox/outbox_folder.h"
#include "platform/profile/ini_file.h"
#include "platform/qt/email_setup_window.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qt_screen.h"
#include "platform/smtp/curl_smtp_transport.h"
#include "settings/setup_dialog_slot.h"

int main(int argc, char* argv[]) {
    using namespace quillet;
    QApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/images");
    QDir().mkpath(folder);

    CurlSmtpTransport transport;  // never used: nothing is sent
    MailWorker worker([](std::function<void()>) {});
    IniFile settings("/nonexistent/quillet-screenshots.ini");
    QtScreen screen;
    SetupDialogSlot setup({transport, worker, settings, screen});
    screen.SetSetupDialogSlot(&setup);
    OutboxFolder outbox("/nonexistent/quillet-screenshots.outbox");
    DesktopNotifier notifier;
    MainDesk main(setup, screen, ".",
                  {outbox, worker, transport, notifier, {},
                   [](std::chrono::milliseconds, std::function<void()>) {}, [] { return 0L; },
                   {}});
    formQuillet& form = main.form;
    MainWindow window(form);
    screen.SetMainWindow(&window);
    form.Form_Load();

    formEmailSetup& dialog = setup.Get();
    dialog.txtDisplayName.SetText("Order Desk");
    dialog.txtEmail.SetText("desk@example.com");
    dialog.cmbServerTemplate.SetListIndex(0);
    dialog.txtAccountName.SetText("desk@example.com");
    dialog.txtPassword.SetText("password");
    dialog.lstSendTo.AddItem("broker@example.com");
    dialog.lstSendTo.AddItem("trader@example.org");
    dialog.lblLog.SetForeColor(kLogGreen);
    dialog.LogMessage("Message sent successfully.");

    form.List1.AddItem(
        "A - B - C - Buy 100 share(s) of XYZ. Limit order with Limit price=12.5  (OrderId=77)");
    form.List1.AddItem("Modify Order: Orderid=77   New Stop Price = 10   New Limit Price = 11");
    form.List1.AddItem("Cancel Order: Orderid=77");
    // The marks of the mails: delivered, waiting for a retry, failed.
    form.List1.SetDelivery(0, DeliveryState::Delivered, "Delivered: 250 2.0.0 Ok");
    form.List1.SetDelivery(1, DeliveryState::Waiting, "Waiting: next attempt at 14:05:09.");
    form.List1.SetDelivery(2, DeliveryState::Failed, "Failed: the server refused the login.");

    window.show();
    // The list shows new lines a moment after they come.
    QEventLoop shown;
    QTimer::singleShot(std::chrono::milliseconds(600), &shown, &QEventLoop::quit);
    shown.exec();
    EmailSetupWindow setup_window(dialog, setup, nullptr);
    setup_window.show();
    QApplication::processEvents();

    bool ok = window.grab().save(folder + "/main-window.png");
    ok = setup_window.grab().save(folder + "/email-setup.png") && ok;
    setup_window.hide();
    if (!ok) {
        std::cerr << "quillet-screenshots: cannot write into " << folder.toStdString() << '\n';
        return 1;
    }
    return 0;
}
