#include "app/form_quillet.h"

#include "app/journal_rows.h"

#include <utility>

#include "app/order_lines.h"
#include "mail/settings_check.h"
#include "settings/setup_dialog_slot.h"
#include "ui/screen.h"

namespace quillet {
namespace {

// The value the platform reads as true.
constexpr int32_t kTrue = -1;

}  // namespace

formQuillet::formQuillet(SetupDialogSlot& setup, Screen& screen, std::string decimal_separator,
                         OutboxServices outbox)
    : setup_(setup), screen_(screen), decimal_separator_(std::move(decimal_separator)) {
    outbox.live_settings = [this] { return setup_.Settings(); };
    journal_ = outbox.journal;
    now_ms_ = outbox.now_ms;
    outbox.password_pending = [this] { return setup_.PasswordPending(); };
    outbox_ = std::make_unique<Outbox>(
        std::move(outbox),
        [this](size_t line, DeliveryState state, const std::string& detail) {
            List1.SetDelivery(line, state, detail);
            MailStateChanged.Emit();
        },
        [this](const SendResult& result) {
            if (setup_.IsLoaded()) {
                setup_.Get().ShowOutcome(result);
            }
        });
    password_came_ = setup_.OnPasswordSettled([this] { outbox_->Resume(); });
}

formQuillet::~formQuillet() = default;

void formQuillet::Form_Load() {
    setup_.Get();
    outbox_->Start();
}

void formQuillet::Form_Unload() {
    outbox_->KeepAll();
    setup_.Unload();
}

void formQuillet::cmdEmailSetup_Click() {
    const MailSettings before = setup_.Settings();
    screen_.ShowSetupDialogModal(setup_.Get());
    if (setup_.Settings() != before) {
        outbox_->RetryFailed();
    }
}

void formQuillet::SendAgain(size_t line) {
    outbox_->SendAgain(line);
}

void formQuillet::RetryWaitingMail() {
    outbox_->RetryWaiting();
}

void formQuillet::SendFailedAgain() {
    outbox_->RetryFailed();
}

void formQuillet::Status_Requested(Status& status) {
    status.Connected = connected_;
    const OutboxCounts counts = outbox_->Counts();
    status.Waiting = counts.waiting;
    status.Failed = counts.failed;
    status.Delivered = counts.delivered;
    status.Unsaved = counts.unsaved;
    status.FIX = fix_state_;
}

void formQuillet::SetFixState(std::string state, std::string detail) {
    fix_state_ = std::move(state);
    fix_detail_ = std::move(detail);
    FixStateChanged.Emit();
}

void formQuillet::CVTOrders1_OrderPlaced(const OrderPlaced& event) {
    if (!connected_) {
        RecordWithoutMail(event, "Not listed or mailed: the platform was not connected.");
        return;
    }
    const std::string line = OrderLine(event, decimal_separator_);
    List1.AddItem(line);
    SendOrderMail(event.OrderId, event, line, line);
}

void formQuillet::CVTOrders1_OrderCancelled(const OrderCancelled& event) {
    const std::string line = OrderLine(event);
    List1.AddItem(line);
    SendOrderMail(event.OrderId, event, line, line);
}

void formQuillet::CVTOrders1_OrderModified(const OrderModified& event) {
    const std::string line = OrderLine(event, decimal_separator_);
    List1.AddItem(line);
    SendOrderMail(event.OrderId, event, line, ModifiedOrderMailBody(event, decimal_separator_));
}

void formQuillet::CVTOrders1_QueryConnected(QueryConnected& event) {
    if (connected_) {
        event.Answer = kTrue;
    }
}

void formQuillet::CVTOrders1_Connect(Connect& event) {
    if (connected_) {
        RecordWithoutMail(event, "Connected already.");
        return;
    }
    screen_.ShowMainWindow();
    connected_ = true;
    event.Answer = kTrue;
    RecordWithoutMail(event, "Connected: orders placed from now on are listed and mailed.");
}

void formQuillet::CVTOrders1_Disconnect() {
    RecordWithoutMail(Disconnect{}, connected_ ? "Disconnected: orders placed from now on are "
                                                 "not listed or mailed."
                                               : "Not connected already.");
    connected_ = false;
}

JournalEventRecord formQuillet::JournalRow(const OrderEvent& event, std::string line) const {
    JournalEventRecord row = JournalRowOf(event, std::move(line), now_ms_(), decimal_separator_);
    row.source = SourceName(source_);
    return row;
}

void formQuillet::RecordWithoutMail(const OrderEvent& event, std::string note) {
    if (journal_ != nullptr && now_ms_) {
        JournalEventRecord row = JournalRow(event, "");
        row.note = std::move(note);
        journal_->RecordEvent(std::move(row));
    }
}

void formQuillet::CVTOrders1_Shutdown(Shutdown& event) {
    // Mails only in memory get up to the outbox's time at the end to be delivered or kept; the
    // reply then names the orders whose mails were lost, before the program ends. The event
    // lives as long as its reply. A Shutdown that comes meanwhile gets the same answer.
    ending_.emplace_back(&event, std::exchange(reply_, nullptr));
    if (ending_.size() > 1) {
        return;
    }
    outbox_->KeepAllThen([this](const std::vector<std::string>& lost) {
        for (auto& [shutdown, reply] : std::exchange(ending_, {})) {
            shutdown->Lost = lost;
            if (reply) {
                reply();
            }
        }
        screen_.UnloadMainWindow();
    });
}

void formQuillet::Show_Request() {
    screen_.BringMainWindowToFront();
}

void formQuillet::HandleEvent(OrderEvent& event, std::function<void()> reply, EventSource source) {
    reply_ = std::move(reply);
    source_ = source;
    // An order's reply says so when its mail could only be kept in memory; the event lives
    // as long as its reply.
    unsaved_note_ = UnsavedNoteOf(event);
    struct Dispatch {
        formQuillet& form;
        void operator()(OrderPlaced& e) { form.CVTOrders1_OrderPlaced(e); }
        void operator()(OrderCancelled& e) { form.CVTOrders1_OrderCancelled(e); }
        void operator()(OrderModified& e) { form.CVTOrders1_OrderModified(e); }
        void operator()(QueryConnected& e) { form.CVTOrders1_QueryConnected(e); }
        void operator()(Connect& e) { form.CVTOrders1_Connect(e); }
        void operator()(Disconnect&) { form.CVTOrders1_Disconnect(); }
        void operator()(Shutdown& e) { form.CVTOrders1_Shutdown(e); }
        void operator()(Status& e) { form.Status_Requested(e); }
        void operator()(Show&) { form.Show_Request(); }
    };
    std::visit(Dispatch{*this}, event);
    if (auto left = std::exchange(reply_, nullptr)) {
        left();
    }
}

void formQuillet::SendOrderMail(const std::string& order_id, const OrderEvent& event,
                                const std::string& line, const std::string& buf) {
    if (journal_ == nullptr || !now_ms_) {
        SendEmail(order_id, buf);
        return;
    }
    journal_row_ = JournalRow(event, line);
    SendEmail(order_id, buf);
    if (journal_row_) {  // no mail was made of it
        journal_row_->note = "Not mailed: the 'Send E-mail To' list is empty.";
        journal_->RecordEvent(std::move(*std::exchange(journal_row_, std::nullopt)));
    }
}

void formQuillet::SendEmail(const std::string& orderid, const std::string& buf) {
    const std::string subject = "CVT order # " + orderid;
    const MailSettings& settings = setup_.Settings();
    if (settings.send_to.empty()) {
        // Nothing is meant to be mailed; the status line says why.
        if (setup_.IsLoaded()) {
            setup_.Get().ShowOutcome(SendResult{kSendInvalidSettings,
                                                FirstSettingsError(settings).value_or(""), true,
                                                std::nullopt});
        }
        return;
    }
    outbox_->Send(
        List1.ListCount() - 1, orderid, subject, buf, settings,
        [reply = std::exchange(reply_, nullptr),
         note = std::exchange(unsaved_note_, nullptr)](const std::string& unsaved) {
            if (note != nullptr) {
                *note = unsaved;
            }
            if (reply) {
                reply();
            }
        },
        std::exchange(journal_row_, std::nullopt));
}

}  // namespace quillet
