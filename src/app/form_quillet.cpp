#include "app/form_quillet.h"

#include "app/order_lines.h"
#include "settings/setup_dialog_slot.h"
#include "ui/screen.h"

namespace quillet {
namespace {

// The value the platform reads as true.
constexpr int32_t kTrue = -1;

}  // namespace

formQuillet::formQuillet(SetupDialogSlot& setup, Screen& screen, std::string decimal_separator,
                         std::optional<OutboxServices> outbox)
    : setup_(setup), screen_(screen), decimal_separator_(std::move(decimal_separator)) {
    if (outbox) {
        outbox->live_settings = [this] { return setup_.Get().LiveSettings(); };
        outbox_ = std::make_unique<Outbox>(
            std::move(*outbox),
            [this](size_t line, DeliveryState state, const std::string& detail) {
                List1.SetDelivery(line, state, detail);
            });
    }
}

formQuillet::~formQuillet() = default;

void formQuillet::Form_Load() {
    setup_.Get();
    if (outbox_) {
        outbox_->Start();
    }
}

void formQuillet::Form_Unload() {
    setup_.Unload();
}

void formQuillet::cmdEmailSetup_Click() {
    const MailSettings before = setup_.Get().LiveSettings();
    screen_.ShowSetupDialogModal(setup_.Get());
    // Closed by its close box, the dialog was unloaded and saved: its settings come back from
    // the file.
    if (outbox_ && setup_.Get().LiveSettings() != before) {
        outbox_->RetryFailed();
    }
}

void formQuillet::SendAgain(size_t line) {
    if (outbox_) {
        outbox_->SendAgain(line);
    }
}

void formQuillet::RetryWaitingMail() {
    if (outbox_) {
        outbox_->RetryWaiting();
    }
}

void formQuillet::Status_Requested(Status& status) {
    status.Connected = connected_;
    if (outbox_) {
        const OutboxCounts counts = outbox_->Counts();
        status.Waiting = counts.waiting;
        status.Failed = counts.failed;
        status.Delivered = counts.delivered;
    }
}

void formQuillet::CVTOrders1_OrderPlaced(const OrderPlaced& event) {
    if (!connected_) {
        return;
    }
    const std::string line = OrderLine(event, decimal_separator_);
    List1.AddItem(line);
    SendEmail(event.OrderId, line);
}

void formQuillet::CVTOrders1_OrderCancelled(const OrderCancelled& event) {
    const std::string line = OrderLine(event);
    List1.AddItem(line);
    SendEmail(event.OrderId, line);
}

void formQuillet::CVTOrders1_OrderModified(const OrderModified& event) {
    List1.AddItem(OrderLine(event, decimal_separator_));
    SendEmail(event.OrderId, ModifiedOrderMailBody(event, decimal_separator_));
}

void formQuillet::CVTOrders1_QueryConnected(QueryConnected& event) {
    if (connected_) {
        event.Answer = kTrue;
    }
}

void formQuillet::CVTOrders1_Connect(Connect& event) {
    if (connected_) {
        return;
    }
    screen_.ShowMainWindow();
    connected_ = true;
    event.Answer = kTrue;
}

void formQuillet::CVTOrders1_Disconnect() {
    connected_ = false;
}

void formQuillet::CVTOrders1_Shutdown() {
    screen_.UnloadMainWindow();
}

void formQuillet::Show_Request() {
    screen_.BringMainWindowToFront();
}

void formQuillet::HandleEvent(OrderEvent& event) {
    struct Dispatch {
        formQuillet& form;
        void operator()(OrderPlaced& e) { form.CVTOrders1_OrderPlaced(e); }
        void operator()(OrderCancelled& e) { form.CVTOrders1_OrderCancelled(e); }
        void operator()(OrderModified& e) { form.CVTOrders1_OrderModified(e); }
        void operator()(QueryConnected& e) { form.CVTOrders1_QueryConnected(e); }
        void operator()(Connect& e) { form.CVTOrders1_Connect(e); }
        void operator()(Disconnect&) { form.CVTOrders1_Disconnect(); }
        void operator()(Shutdown&) { form.CVTOrders1_Shutdown(); }
        void operator()(Status& e) { form.Status_Requested(e); }
        void operator()(Show&) { form.Show_Request(); }
    };
    std::visit(Dispatch{*this}, event);
}

void formQuillet::SendEmail(const std::string& orderid, const std::string& buf) {
    const std::string subject = "CVT order # " + orderid;
    const ReportOutcome outcome = setup_.Get().EmailReport(subject, buf);
    if (outbox_ && outcome.kind != ReportOutcome::Kind::NoRecipients) {
        outbox_->FirstAttempt(List1.ListCount() - 1, orderid, subject, buf, outcome.send);
    }
}

}  // namespace quillet
