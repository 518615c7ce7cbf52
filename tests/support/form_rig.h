// The main form and its setup dialog over a transport, for tests that mail through the forms:
// jobs run at once on the caller's thread, the settings file is in memory, and the dialog holds
// a sender and one recipient at a server on this machine.
#pragma once

#include <string>

#include "app/main_desk.h"
#include "settings/setup_dialog_slot.h"
#include "support/mail_doubles.h"
#include "support/memory_profile.h"
#include "support/scripted_screen.h"

namespace quillet::test {

// Fills `f` with a sender and one recipient, mailing through `host` at `port`.
inline formEmailSetup& MailTo(formEmailSetup& f, const std::string& host, int port) {
    f.txtDisplayName.SetText("Desk");
    f.txtEmail.SetText("desk@example.com");
    f.txtSMTPserver.SetText(host);
    f.txtPort.SetText(std::to_string(port));
    f.lstSendTo.AddItem("broker@example.com");
    return f;
}

struct FormRig {
    FormRig(SmtpTransport& transport, int port)
        : setup({transport, outbox.runner, file, screen}),
          main(setup, screen, ".", outbox.Services(transport)),
          settings((form.Form_Load(), MailTo(setup.Get(), "localhost", port))) {}

    // Handles `event` as if the platform sent it.
    void Handle(OrderEvent event) { main.desk.Handle(event); }

    MemoryProfile file;
    ScriptedScreen screen;
    InlineOutbox outbox;
    SetupDialogSlot setup;
    MainDesk main;
    formQuillet& form = main.form;
    formEmailSetup& settings;
};

}  // namespace quillet::test
