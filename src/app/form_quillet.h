// The main window's form: the order list, the connection flag and the handlers of the window
// and of the order-notification control.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/order_events.h"
#include "app/order_list.h"
#include "app/outbox.h"
#include "ui/controls.h"

namespace quillet {

class Screen;
class SetupDialogSlot;

class formQuillet {
  public:
    // `setup` holds the setup dialog and the live settings; `decimal_separator` is the user's,
    // for prices. Both `setup` and `screen` must outlive the form. Every order mail goes
    // through the outbox made of `outbox` (its live settings are the setup slot's).
    formQuillet(SetupDialogSlot& setup, Screen& screen, std::string decimal_separator,
                OutboxServices outbox);
    ~formQuillet();
    formQuillet(const formQuillet&) = delete;
    formQuillet& operator=(const formQuillet&) = delete;

    // Every order line, in order of arrival; nothing removes one.
    OrderList List1;

    bool Connected() const { return connected_; }
    // The outbox's counts, as Status gives them.
    OutboxCounts MailCounts() const { return outbox_->Counts(); }
    // Told whenever a mail's state changes (MailCounts may then differ).
    Signal<> MailStateChanged;
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
    // dialog closes with the mail settings changed.
    void cmdEmailSetup_Click();
    // "Send Again" on order line `line`: its mail at once, when the outbox holds it.
    void SendAgain(size_t line);
    // Every waiting mail at once (a test message got through).
    void RetryWaitingMail();
    // Every failed mail again, in its place.
    void SendFailedAgain();

    // The events of the order-notification control.
    void CVTOrders1_OrderPlaced(const OrderPlaced& event);
    void CVTOrders1_OrderCancelled(const OrderCancelled& event);
    void CVTOrders1_OrderModified(const OrderModified& event);
    void CVTOrders1_QueryConnected(QueryConnected& event);
    void CVTOrders1_Connect(Connect& event);
    void CVTOrders1_Disconnect();
    void CVTOrders1_Shutdown(Shutdown& event);
    // How the mail is doing: the counts of the outbox, and the connection flag.
    void Status_Requested(Status& status);
    // Show: brings the main window to the front.
    void Show_Request();
    // Runs the handler of whichever event it is; Answer is written back into `event`. `reply`
    // (may be empty) is told once the event's reply may go: when the handler returns, or, for
    // an order whose mail it sends, once that mail is safe (see Outbox), within the outbox's
    // reply bound.
    // `source` is where the event came from, for the journal.
    void HandleEvent(OrderEvent& event, std::function<void()> reply = {},
                     EventSource source = EventSource::kSocket);

    // Mails `buf` under the subject "CVT order # <orderid>" with the live settings, through
    // the outbox; nothing when the recipient list is empty. The first attempt's outcome shows
    // in the setup dialog's status line when the dialog is loaded, and the mail's state on the
    // newest order line. The event's reply waits until the mail is safe.
    void SendEmail(const std::string& orderid, const std::string& buf);
    // The same for order event `event`, listed as `line`, with its journal row.
    void SendOrderMail(const std::string& order_id, const OrderEvent& event,
                       const std::string& line, const std::string& buf);

  private:
    // The journal's row of `event`, handled now from the source at hand, listed as `line`.
    JournalEventRecord JournalRow(const OrderEvent& event, std::string line) const;
    // Records `event`, which makes no line or mail, with `note`; nothing without a journal.
    void RecordWithoutMail(const OrderEvent& event, std::string note);

    SetupDialogSlot& setup_;
    Screen& screen_;
    std::string decimal_separator_;
    bool connected_ = false;
    std::string fix_state_ = "off";
    std::string fix_detail_;
    std::function<void()> reply_;          // the reply of the event being handled, until it may go
    std::string* unsaved_note_ = nullptr;  // where that reply says its mail is not safe
    std::unique_ptr<Outbox> outbox_;
    Journal* journal_ = nullptr;       // the outbox's, for the events that make no mail
    std::function<int64_t()> now_ms_;  // the outbox's clock
    std::optional<JournalEventRecord> journal_row_;  // of the order whose mail is being sent
    EventSource source_ = EventSource::kSocket;      // of the event being handled
    // The Shutdowns waiting for the outbox to keep what it can, with their replies.
    std::vector<std::pair<Shutdown*, std::function<void()>>> ending_;
    Subscription password_came_;  // the outbox goes on once the keyring gave the password
};

}  // namespace quillet
