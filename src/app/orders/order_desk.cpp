#include "app/orders/order_desk.h"

#include <utility>

#include "app/journal/journal_rows.h"
#include "app/orders/order_lines.h"
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

void OrderDesk::Handle(OrderEvent& event, EventSource source, std::function<void()> finish) {
    // An order's reply says so when its mail could only be kept in memory; the event lives as
    // long as its reply.
    const std::string* message_id_left = MessageIdLeftOf(event);
    Handling handling{source, OrderReply(std::move(finish), UnsavedNoteOf(event)),
                      message_id_left ? *message_id_left : ""};
    struct Dispatch {
        OrderDesk& desk;
        Handling& handling;
        void operator()(OrderPlaced& e) { desk.CVTOrders1_OrderPlaced(e, handling); }
        void operator()(OrderCancelled& e) { desk.CVTOrders1_OrderCancelled(e, handling); }
        void operator()(OrderModified& e) { desk.CVTOrders1_OrderModified(e, handling); }
        void operator()(QueryConnected& e) { desk.CVTOrders1_QueryConnected(e, handling); }
        void operator()(Connect& e) { desk.CVTOrders1_Connect(e, handling); }
        void operator()(Disconnect&) { desk.CVTOrders1_Disconnect(handling); }
        void operator()(Shutdown& e) { desk.CVTOrders1_Shutdown(e, handling); }
        void operator()(Status& e) { desk.Status_Requested(e); }
        void operator()(Show&) { desk.Show_Request(); }
    };
    std::visit(Dispatch{*this, handling}, event);
    handling.reply();  // unless a mail or the end took it
}

void OrderDesk::CVTOrders1_OrderPlaced(OrderPlaced& event, Handling& handling) {
    if (!window_.Connected()) {
        RecordWithoutMail(event, handling.source,
                          "Not listed or mailed: the platform was not connected.");
        event.NotListed = "not listed: the platform is not connected (send Connect first)";
        if (services_.notifier != nullptr && !std::exchange(told_not_connected_, true)) {
            services_.notifier->Notify(
                {"Order not listed: the platform is not connected",
                 "Order " + event.OrderId +
                     " came before the platform's Connect, so it was neither listed nor mailed. "
                     "Orders make lines only while the platform is connected.",
                 NoticeUrgency::Critical, event.OrderId});
        }
        return;
    }
    const std::string line = OrderLine(event, services_.decimal_separator);
    ListAndMail(event, event.OrderId, line, line, handling);
}

void OrderDesk::CVTOrders1_OrderCancelled(const OrderCancelled& event, Handling& handling) {
    const std::string line = OrderLine(event);
    ListAndMail(event, event.OrderId, line, line, handling);
}

void OrderDesk::CVTOrders1_OrderModified(const OrderModified& event, Handling& handling) {
    ListAndMail(event, event.OrderId, OrderLine(event, services_.decimal_separator),
                ModifiedOrderMailBody(event, services_.decimal_separator), handling);
}

void OrderDesk::CVTOrders1_QueryConnected(QueryConnected& event, Handling&) {
    if (window_.Connected()) {
        event.Answer = kTrue;
    }
}

void OrderDesk::CVTOrders1_Connect(Connect& event, Handling& handling) {
    if (window_.Connected()) {
        RecordWithoutMail(event, handling.source, "Connected already.");
        return;
    }
    screen_.ShowMainWindow();
    window_.SetConnected(true);
    event.Answer = kTrue;
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

void OrderDesk::CVTOrders1_Shutdown(Shutdown& event, Handling& handling) {
    ending_.emplace_back(&event, std::exchange(handling.reply, {}));
    if (ending_.size() > 1) {
        return;
    }
    outbox_.KeepAllThen([this](const std::vector<std::string>& lost) {
        for (auto& [shutdown, reply] : std::exchange(ending_, {})) {
            shutdown->Lost = lost;
            reply();
        }
        screen_.UnloadMainWindow();
    });
}

void OrderDesk::Status_Requested(Status& status) {
    status.Connected = window_.Connected();
    const OutboxCounts counts = outbox_.Counts();
    status.Waiting = counts.waiting;
    status.Failed = counts.failed;
    status.Delivered = counts.delivered;
    status.Unsaved = counts.unsaved;
    status.FIX = window_.FixState();
}

void OrderDesk::Show_Request() {
    screen_.BringMainWindowToFront();
}

void OrderDesk::ListAndMail(const OrderEvent& event, const std::string& order_id,
                            const std::string& line, const std::string& buf, Handling& handling) {
    window_.List1.AddItem(line);
    std::optional<JournalEventRecord> row;
    if (services_.journal != nullptr && services_.now_ms) {
        row = JournalRow(event, line, handling.source);
    }
    SendEmail(order_id, buf, handling, std::move(row));
}

void OrderDesk::SendEmail(const std::string& orderid, const std::string& buf, Handling& handling,
                          std::optional<JournalEventRecord> row) {
    const std::string subject = "CVT order # " + orderid;
    const MailSettings& settings = setup_.Settings();
    if (settings.send_to.empty()) {
        // Nothing is meant to be mailed; the status line says why.
        if (setup_.IsLoaded()) {
            setup_.Get().ShowOutcome(SendResult{SendFailure::kInvalidSettings,
                                                FirstSettingsError(settings).value_or(""), true,
                                                std::nullopt});
        }
        if (row && services_.journal != nullptr) {
            row->note = "Not mailed: the 'Send E-mail To' list is empty.";
            services_.journal->RecordEvent(std::move(*row));
        }
        return;
    }
    outbox_.Send(window_.List1.ListCount() - 1, orderid, subject, buf, settings,
                 std::exchange(handling.reply, {}), std::move(row), handling.message_id_left);
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
