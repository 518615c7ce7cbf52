// The main window's form: what the window shows (the order list, the connection flag, the FIX
// drop copy's state) and the handlers of the window itself. The order-notification control's
// events are handled by the order desk (order_desk.h), which lists their lines here.
#pragma once

#include <string>

#include "app/orders/order_list.h"
#include "app/outbox/outbox.h"
#include "ui/controls.h"

namespace quillet {

class Screen;
class SetupDialogSlot;

class formQuillet {
  public:
    // `setup` holds the setup dialog and the live settings; the order mails wait in `outbox`.
    // All three, and `screen`, must outlive the form.
    formQuillet(SetupDialogSlot& setup, Screen& screen, Outbox& outbox);
    formQuillet(const formQuillet&) = delete;
    formQuillet& operator=(const formQuillet&) = delete;

    // Every order line, in order of arrival; nothing removes one.
    OrderList List1;

    // Whether the platform is connected: only then does a placed order make a line.
    bool Connected() const { return connected_; }
    void SetConnected(bool connected) { connected_ = connected; }
    // The outbox's counts, as Status gives them.
    OutboxCounts MailCounts() const { return outbox_.Counts(); }
    // Told whenever a mail's state changes (MailCounts may then differ).
    Signal<> MailStateChanged;
    // Shows the state of the mail of order line `line` (none: a mail kept from an earlier
    // run), with `detail` for its tip; tells MailStateChanged.
    void ShowDelivery(std::optional<size_t> line, DeliveryState state, const std::string& detail);
    // The FIX drop copy's session as Status gives it ("logged on", "connecting", "off"), and a
    // sentence for the window's tip (why it is off, or whom it talks to).
    const std::string& FixState() const { return fix_state_; }
    const std::string& FixDetail() const { return fix_detail_; }
    void SetFixState(std::string state, std::string detail);
    // Told whenever SetFixState is called.
    Signal<> FixStateChanged;

    // Load: loads the setup dialog hidden, which reads the settings file; then the outbox takes
    // in the mails it kept and tries them.
    void Form_Load();
    // Unload: keeps every mail not yet delivered in the outbox's store, then unloads the setup
    // dialog, which writes the settings file.
    void Form_Unload();
    // "E-mail Setup...": shows the setup dialog modally. Failed mails are tried again when the
    // dialog closes with the mail settings changed. The offer of the mail's set-up goes once
    // the dialog closes (which saves the settings) with an outgoing mail server in them.
    void cmdEmailSetup_Click();

    // Whether the window offers "Set up e-mail…" (which does what cmdEmailSetup_Click does):
    // from OfferMailSetup, at a first start with no settings file, until the setup dialog
    // closes with a server in the settings.
    bool MailSetupOffered() const { return mail_setup_offered_; }
    void OfferMailSetup();
    // Told whenever MailSetupOffered changes.
    Signal<> MailSetupOfferChanged;
    // "Send Again" on order line `line`: its mail at once, when the outbox holds it.
    void SendAgain(size_t line);
    // Every waiting mail at once (a test message got through).
    void RetryWaitingMail();
    // Every failed mail again, in its place.
    void SendFailedAgain();

  private:
    SetupDialogSlot& setup_;
    Screen& screen_;
    Outbox& outbox_;
    bool connected_ = false;
    bool mail_setup_offered_ = false;
    std::string fix_state_ = "off";
    std::string fix_detail_;
    Subscription password_came_;  // the outbox goes on once the keyring gave the password
};

}  // namespace quillet
