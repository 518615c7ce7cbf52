// The main window's form, the outbox beside it and the order desk that hands them each event,
// built and wired in one place: the program makes them through this, and so do the tests that
// drive the whole core. The outbox's line marks go to the form's list, its first outcomes to the
// setup dialog's status line (when the dialog is loaded), and its live settings and its wait
// for the password are the setup slot's.
#pragma once

#include <string>

#include "app/form_quillet.h"
#include "app/order_desk.h"
#include "app/outbox.h"

namespace quillet {

class Screen;
class SetupDialogSlot;

struct MainDesk {
    // `setup` and `screen` must outlive it; so must everything `services` names. Its
    // live_settings and password_pending are set here; its journal and clock serve the desk too.
    MainDesk(SetupDialogSlot& setup, Screen& screen, std::string decimal_separator,
             OutboxServices services);
    MainDesk(const MainDesk&) = delete;
    MainDesk& operator=(const MainDesk&) = delete;

    Outbox outbox;
    formQuillet form;
    OrderDesk desk;
};

}  // namespace quillet
