#include "app/orders/order_desk.h"

#include <memory>
#include <utility>

#include "app/journal/journal_rows.h"
#include "app/orders/order_lines.h"
#include "app/outbox/merged_mail.h"
#include "mail/mail_message.h"
#include "mail/settings_check.h"
#include "settings/setup_dialog_slot.h"
#include "ui/screen.h"

namespace quillet {
namespace {

// The value the platform reads as true.
constexpr int32_t kTrue = -1;

}  // namespace

OrderDesk::OrderDesk(formQuillet& window, Outbox& outbox, SetupDialogSlot& setup, Screen& screen,
                     Services services)
    : window_(window),
      outbox_(outbox),
      setup_(setup),
      screen_(screen),
      services_(std::move(services)) {}

void OrderDesk::Handle(const OrderEvent& event, const EventOrigin& origin,
                       OrderReply::Finish finish) {
    if (awaiting_threads_) {
        held_.push_back({event, origin, std::move(finish)});
        return;
    }
    Handling handling{origin.source, OrderReply(std::move(finish)), origin.message_id_left};
    struct Dispatch {
        OrderDesk& desk;
        Handling& handling;
        void operator()(const OrderPlaced& e) { desk.CVTOrders1_OrderPlaced(e, handling); }
        void operator()(const OrderCancelled& e) { desk.CVTOrders1_OrderCancelled(e, handling); }
        void operator()(const OrderModified& e) { desk.CVTOrders1_OrderModified(e, handling); }
        void operator()(const QueryConnected& e) { desk.CVTOrders1_QueryConnected(e, handling); }
        void operator()(const Connect& e) { desk.CVTOrders1_Connect(e, handling); }
        void operator()(const Disconnect&) { desk.CVTOrders1_Disconnect(handling); }
        void operator()(const Shutdown&) { desk.CVTOrders1_Shutdown(handling); }
        void operator()(const Status&) {
            handling.reply.Content().status = desk.Status_Requested();
        }
        void operator()(const Show&) { desk.Show_Request(); }
        void operator()(const OrderFilled& e) { desk.CVTOrders1_OrderFilled(e, handling); }
        void operator()(const OrderRejected& e) { desk.CVTOrders1_OrderRejected(e, handling); }
        void operator()(const OrderExpired& e) { desk.CVTOrders1_OrderExpired(e, handling); }
        void operator()(const ReportNotListed& e) { desk.ReportNotListed_Noted(e, handling); }
    };
    std::visit(Dispatch{*this, handling}, event);
    handling.reply();  // unless a mail or the end took it
}

void OrderDesk::ThreadsKnown(const std::map<std::string, std::string>& first_mails) {
    // The earlier runs' first mails came before any of this run's.
    for (const auto& [order_id, message_id] : first_mails) {
        first_mails_[order_id] = message_id;
    }
    awaiting_threads_ = false;
    for (Held& held : std::exchange(held_, {})) {
        Handle(held.event, held.origin, std::move(held.finish));
    }
}

void OrderDesk::CVTOrders1_OrderPlaced(const OrderPlaced& event, Handling& handling) {
    ListAndMailWhileConnected(event, event.OrderId, OrderLine(event, services_.decimal_separator),
                              handling);
}

void OrderDesk::CVTOrders1_OrderFilled(const OrderFilled& event, Handling& handling) {
    ListAndMailWhileConnected(event, event.OrderId, OrderLine(event, services_.decimal_separator),
                              handling);
}

void OrderDesk::CVTOrders1_OrderRejected(const OrderRejected& event, Handling& handling) {
    ListAndMailWhileConnected(event, event.OrderId, OrderLine(event), handling);
}

void OrderDesk::CVTOrders1_OrderExpired(const OrderExpired& event, Handling& handling) {
    ListAndMailWhileConnected(event, event.OrderId, OrderLine(event), handling);
}

void OrderDesk::ReportNotListed_Noted(const ReportNotListed& event, Handling& handling) {
    RecordWithoutMail(event, handling.source, "Not listed or mailed: " + event.Why + ".");
    if (event.Fault && services_.notifier != nullptr) {
        services_.notifier->Notify(
            {"FIX report not listed",
             "A FIX execution report of order " + event.OrderId + " (ExecID " + event.ExecID +
                 ", ExecType " + event.ExecType + ") made no order line and no mail: " + event.Why +
                 ". It is noted in the History.",
             NoticeUrgency::Critical, event.OrderId});
    }
}

void OrderDesk::CVTOrders1_OrderCancelled(const OrderCancelled& event, Handling& handling) {
    const std::string line = OrderLine(event);
    ListAndMail(event, event.OrderId, line, line, handling);
}

void OrderDesk::CVTOrders1_OrderModified(const OrderModified& event, Handling& handling) {
    ListAndMail(event, event.OrderId, OrderLine(event, services_.decimal_separator),
                ModifiedOrderMailBody(event, services_.decimal_separator), handling);
}

void OrderDesk::CVTOrders1_QueryConnected(const QueryConnected&, Handling& handling) {
    if (window_.Connected()) {
        handling.reply.Content().answer = kTrue;
    }
}

void OrderDesk::CVTOrders1_Connect(const Connect& event, Handling& handling) {
    if (window_.Connected()) {
        RecordWithoutMail(event, handling.source, "Connected already.");
        return;
    }
    screen_.ShowMainWindow();
    window_.SetConnected(true);
    handling.reply.Content().answer = kTrue;
    RecordWithoutMail(event, handling.source,
                      "Connected: orders placed from now on are listed and mailed.");
}

void OrderDesk::CVTOrders1_Disconnect(Handling& handling) {
    RecordWithoutMail(Disconnect{}, handling.source,
                      window_.Connected()
                          ? "Disconnected: orders placed from now on are not listed or mailed."
                          : "Not connected already.");
    window_.SetConnected(false);
}

void OrderDesk::CVTOrders1_Shutdown(Handling& handling) {
    ending_.push_back(std::exchange(handling.reply, {}));
    if (ending_.size() > 1) {
        return;
    }
    outbox_.KeepAllThen([this](const std::vector<std::string>& lost) {
        for (OrderReply& reply : std::exchange(ending_, {})) {
            reply.Content().lost = lost;
            reply();
        }
        screen_.UnloadMainWindow();
    });
}

MailStatus OrderDesk::Status_Requested() const {
    MailStatus status;
    status.Connected = window_.Connected();
    const OutboxCounts counts = outbox_.Counts();
    status.Waiting = counts.waiting;
    status.Failed = counts.failed;
    status.NotMailed = not_mailed_;
    status.Delivered = counts.delivered;
    status.Unsaved = counts.unsaved;
    status.PartlyDelivered = counts.partly;
    status.FIX = window_.FixState();
    return status;
}

void OrderDesk::Show_Request() {
    screen_.BringMainWindowToFront();
}

void OrderDesk::ListAndMailWhileConnected(const OrderEvent& event, const std::string& order_id,
                                          const std::string& line, Handling& handling) {
    if (!window_.Connected()) {
        RecordWithoutMail(event, handling.source,
                          "Not listed or mailed: the platform was not connected.");
        handling.reply.Content().not_listed =
            "not listed: the platform is not connected (send Connect first)";
        if (services_.notifier != nullptr && !std::exchange(told_not_connected_, true)) {
            services_.notifier->Notify(
                {"Order not listed: the platform is not connected",
                 "Order " + order_id +
                     " came before the platform's Connect, so it was neither listed nor mailed. "
                     "Orders make lines only while the platform is connected.",
                 NoticeUrgency::Critical, order_id});
        }
        return;
    }
    ListAndMail(event, order_id, line, line, handling);
}

void OrderDesk::ListAndMail(const OrderEvent& event, const std::string& order_id,
                            const std::string& line, const std::string& buf, Handling& handling) {
    window_.List1.AddItem(line);
    std::optional<JournalEventRecord> row;
    if (services_.journal != nullptr && services_.now_ms) {
        row = JournalRow(event, line, handling.source);
    }
    SendEmail(order_id, buf, handling, std::move(row), RouteOf(event), line);
}

void OrderDesk::SendEmail(const std::string& orderid, const std::string& buf, Handling& handling,
                          std::optional<JournalEventRecord> row, std::optional<MailRoute> route,
                          const std::string& line) {
    const std::string subject = std::string(kOrderSubject) + orderid;
    const MailSettings& settings = setup_.Settings();
    if (const auto not_set_up = MailNotSetUp(settings)) {
        // Nothing can be mailed before e-mail is set up; the line, the status line and the
        // first such order's notice say why.
        if (setup_.IsLoaded()) {
            const Result<> checked = CheckMailSettings(settings);
            setup_.Get().ShowOutcome(SendResult{SendFailure::kInvalidSettings,
                                                checked ? "" : checked.error().message, true,
                                                std::nullopt});
        }
        const std::string why = "Not mailed: " + *not_set_up + ".";
        ++not_mailed_;
        const std::string tip =
            why + " The orders that follow are mailed once e-mail is set up (\"E-mail Setup...\").";
        window_.ShowDelivery(window_.List1.ListCount() - 1, DeliveryState::NotMailed, tip);
        if (services_.notifier != nullptr && !std::exchange(told_not_mailed_, true)) {
            services_.notifier->Notify(
                {"Order not mailed: e-mail is not set up",
                 "Order " + orderid + " was listed but not mailed: " + *not_set_up +
                     ". Set up e-mail with \"E-mail Setup...\" in the main window; the orders "
                     "that follow are then mailed.",
                 NoticeUrgency::Critical, orderid});
        }
        if (row && services_.journal != nullptr) {
            row->note = why;
            services_.journal->RecordEvent(std::move(*row));
        }
        return;
    }
    const std::vector<RecipientGroup> groups = GroupsOf(orderid, route, settings);
    if (groups.empty()) {
        const std::string why = "Not mailed: no recipient's rule takes this event.";
        window_.ShowDelivery(window_.List1.ListCount() - 1, DeliveryState::NotMailed, why);
        if (row && services_.journal != nullptr) {
            row->note = why;
            services_.journal->RecordEvent(std::move(*row));
        }
        return;
    }
    // The reply goes once every mail of the event is safe, with the first reason one is not.
    Outbox::Safe safe = std::exchange(handling.reply, {});
    if (groups.size() > 1) {
        auto waiting = std::make_shared<std::pair<size_t, std::string>>(groups.size(), "");
        safe = [waiting, all = std::move(safe)](const std::string& unsaved) {
            if (waiting->second.empty()) {
                waiting->second = unsaved;
            }
            if (--waiting->first == 0) {
                all(waiting->second);
            }
        };
    }
    // The Message-ID is settled now, so that the order's later mails can name the first one
    // even while it waits to be composed.
    const std::string left =
        handling.message_id_left.empty() ? NewMessageIdLeft() : handling.message_id_left;
    const auto [first, is_first] =
        first_mails_.try_emplace(orderid, MessageIdOf(left, settings.email));
    if (row) {
        row->message_id = MessageIdOf(left, settings.email);  // before its mail is composed, too
    }
    for (size_t i = 0; i < groups.size(); ++i) {
        const RecipientGroup& group = groups[i];
        MailSettings narrowed = settings;
        if (!group.send_to.empty()) {
            narrowed.send_to = group.send_to;
        }
        // The first mail of the event is the one the journal follows, and the order's first.
        outbox_.Send(window_.List1.ListCount() - 1, orderid,
                     group.short_form ? CutToCharacters(line, kShortSubjectCharacters) : subject,
                     group.short_form ? std::string() : buf, narrowed, safe,
                     i == 0 ? std::move(row) : std::nullopt,
                     i == 0 ? left : left + "." + std::to_string(i),
                     is_first && i == 0 ? std::string() : first->second, group.send_to);
    }
}

std::vector<RecipientGroup> OrderDesk::GroupsOf(const std::string& order_id,
                                                std::optional<MailRoute> route,
                                                const MailSettings& settings) {
    if (!route) {
        return {RecipientGroup{false, {}}};  // every recipient, as the settings have them
    }
    // An event that does not tell its account or symbol has those its order told before.
    auto& [account, symbol] = order_facts_[order_id];
    account = route->account ? route->account : account;
    symbol = route->symbol ? route->symbol : symbol;
    if (settings.rules.empty()) {
        return {RecipientGroup{false, {}}};
    }
    std::vector<RecipientGroup> groups =
        RouteEvent(route->event, account, symbol, settings.send_to, settings.rules);
    if (groups.size() == 1 && !groups[0].short_form &&
        groups[0].send_to.size() == settings.send_to.size()) {
        groups[0].send_to.clear();  // every recipient: the mail is as it would be without rules
    }
    return groups;
}

JournalEventRecord OrderDesk::JournalRow(const OrderEvent& event, std::string line,
                                         EventSource source) const {
    JournalEventRecord row =
        JournalRowOf(event, std::move(line), services_.now_ms(), services_.decimal_separator);
    row.source = SourceName(source);
    return row;
}

void OrderDesk::RecordWithoutMail(const OrderEvent& event, EventSource source, std::string note) {
    if (services_.journal != nullptr && services_.now_ms) {
        JournalEventRecord row = JournalRow(event, "", source);
        row.note = std::move(note);
        services_.journal->RecordEvent(std::move(row));
    }
}

}  // namespace quillet
