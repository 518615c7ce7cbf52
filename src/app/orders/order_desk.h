// The order desk: where each event of the order-notification control is handled, whatever its
// source. It lists an order's line in the main window's form, gives its mail to the outbox,
// records the event in the journal, and lets the event's reply go once the mail is safe.
//
// An event in hand travels as one value, its Handling (where it came from, where its reply
// goes), passed from handler to handler and into the outbox with the mail; nothing of it is
// kept in a member. Lives on the user-interface thread, one event at a time (the dispatcher's).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/journal/journal.h"
#include "app/orders/mail_route.h"
#include "app/orders/order_events.h"
#include "app/orders/order_reply.h"
#include "app/outbox/notifier.h"
#include "app/outbox/outbox.h"
#include "app/shell/form_quillet.h"

namespace quillet {

// The most characters of a short mail's subject: the order line, cut.
inline constexpr size_t kShortSubjectCharacters = 160;

class Screen;
class SetupDialogSlot;

// One event in hand.
struct Handling {
    EventSource source = EventSource::kSocket;  // for the journal
    OrderReply reply;                           // told once the event's reply may go
    std::string message_id_left = {};           // its mail's, when the origin names one
};

class OrderDesk {
  public:
    struct Services {
        Journal* journal = nullptr;       // none: nothing is journaled
        std::function<int64_t()> now_ms;  // milliseconds since 1970 (UTC)
        std::string decimal_separator;    // the user's, for prices
        Notifier* notifier = nullptr;     // none: nothing is told outside the windows
    };

    // Lists in `window` and mails through `outbox`, with the live settings of `setup`; all of
    // them, and `screen`, must outlive the desk.
    OrderDesk(formQuillet& window, Outbox& outbox, SetupDialogSlot& setup, Screen& screen,
              Services services);
    OrderDesk(const OrderDesk&) = delete;
    OrderDesk& operator=(const OrderDesk&) = delete;

    // Runs the handler of whichever event it is. `finish` (may be empty) is told the event's
    // reply: when the handler returns, or, for an order whose mail it sends, once that mail is
    // safe (see Outbox): kept on the disk, or taken by the server. `origin` is where the event
    // came from.
    void Handle(const OrderEvent& event, const EventOrigin& origin = {},
                OrderReply::Finish finish = {});

    // Threads: the first mail of an order gets a Message-ID of its own, and every later mail of
    // the order follows it (In-Reply-To and References). AwaitThreads holds every event from now
    // on, in its order, until ThreadsKnown gives the first mails of the orders of earlier runs
    // (order id -> Message-ID, as the journal keeps them); then they are handled. A desk never
    // told to wait knows only the mails of its own run.
    void AwaitThreads() { awaiting_threads_ = true; }
    void ThreadsKnown(const std::map<std::string, std::string>& first_mails);

    // The events of the order-notification control. A placed order makes a line only while
    // the platform is connected; one that comes before Connect is refused in its reply, and
    // the first such order of a run is told in a notice too.
    void CVTOrders1_OrderPlaced(const OrderPlaced& event, Handling& handling);
    void CVTOrders1_OrderCancelled(const OrderCancelled& event, Handling& handling);
    void CVTOrders1_OrderModified(const OrderModified& event, Handling& handling);
    // A fill, a rejection and an expiry make a line only while the platform is connected, as a
    // placed order does, and are mailed under the order's subject.
    void CVTOrders1_OrderFilled(const OrderFilled& event, Handling& handling);
    void CVTOrders1_OrderRejected(const OrderRejected& event, Handling& handling);
    void CVTOrders1_OrderExpired(const OrderExpired& event, Handling& handling);
    // A FIX report that made no line: the journal notes it with why; one that would have made a
    // line but could not (a Fault) is told in a notice too.
    void ReportNotListed_Noted(const ReportNotListed& event, Handling& handling);
    void CVTOrders1_QueryConnected(const QueryConnected& event, Handling& handling);
    void CVTOrders1_Connect(const Connect& event, Handling& handling);
    void CVTOrders1_Disconnect(Handling& handling);
    // Mails only in memory, and mails going out, get up to the outbox's time at the end to be
    // delivered or kept; the reply then names the orders whose mails were lost, before the
    // program ends. A Shutdown that comes meanwhile gets the same answer.
    void CVTOrders1_Shutdown(Handling& handling);
    // How the mail is doing: the counts of the outbox, the orders not mailed as e-mail was not
    // set up, and the connection flag.
    MailStatus Status_Requested() const;
    // Show: brings the main window to the front.
    void Show_Request();

    // Mails `buf` under the subject "CVT order # <orderid>" with the live settings, through
    // the outbox, which takes the event's reply; with `row`, the journal gets it with the mail.
    // Nothing before e-mail is set up (MailNotSetUp: no server name, or no recipients): the
    // newest order line is marked not mailed with the reason in its tip, the setup dialog's
    // status line says why (when it is loaded), the first such order of a run is told in a
    // notice, Status counts it as NotMailed, and the journal gets `row` with that note. The
    // first attempt's outcome shows in the status line too, and the mail's state on the newest
    // order line.
    //
    // With `route`, the recipients' rules (MailSettings::rules) choose who gets it: one mail per
    // form, the short one with order line `line` cut to 160 characters as its subject and no
    // text; the reply goes once all of them are safe, and the journal follows the first. An
    // event no rule takes is listed as not mailed, with why. Without rules, one mail to every
    // recipient, as without a route.
    void SendEmail(const std::string& orderid, const std::string& buf, Handling& handling,
                   std::optional<JournalEventRecord> row = std::nullopt,
                   std::optional<MailRoute> route = std::nullopt, const std::string& line = {});

  private:
    // The mails of an event of `order_id` along `route`: one group of no entries (every
    // recipient) without a route or without rules, and when the rules give every recipient the
    // full mail.
    std::vector<RecipientGroup> GroupsOf(const std::string& order_id,
                                         std::optional<MailRoute> route,
                                         const MailSettings& settings);
    // Lists and mails `line` for order `order_id`, with the journal's row of `event`, while the
    // platform is connected; otherwise refuses it in the reply, notes it in the journal and
    // tells the first such order of a run in a notice.
    void ListAndMailWhileConnected(const OrderEvent& event, const std::string& order_id,
                                   const std::string& line, Handling& handling);
    // Lists `line` and mails `buf` for order `order_id`, with the journal's row of `event`.
    void ListAndMail(const OrderEvent& event, const std::string& order_id, const std::string& line,
                     const std::string& buf, Handling& handling);
    // The journal's row of `event`, handled now from `source`, listed as `line`.
    JournalEventRecord JournalRow(const OrderEvent& event, std::string line,
                                  EventSource source) const;
    // Records `event`, which makes no line or mail, with `note`; nothing without a journal.
    void RecordWithoutMail(const OrderEvent& event, EventSource source, std::string note);

    formQuillet& window_;
    Outbox& outbox_;
    SetupDialogSlot& setup_;
    Screen& screen_;
    Services services_;
    // The replies of the Shutdowns waiting for the outbox to keep what it can.
    std::vector<OrderReply> ending_;
    bool told_not_connected_ = false;  // the notice of an order before Connect has been shown
    bool told_not_mailed_ = false;     // the notice of an order before e-mail was set up, too
    int32_t not_mailed_ = 0;           // orders not mailed, as e-mail was not set up
    // The account and the symbol each order's events have told, for those that do not.
    std::map<std::string, std::pair<std::optional<std::string>, std::optional<std::string>>>
        order_facts_;
    // Each order's first mail's Message-ID, of this run and the earlier ones.
    std::map<std::string, std::string> first_mails_;
    struct Held {
        OrderEvent event;
        EventOrigin origin;
        OrderReply::Finish finish;
    };
    bool awaiting_threads_ = false;
    std::vector<Held> held_;  // the events that came while the threads were awaited
};

}  // namespace quillet
