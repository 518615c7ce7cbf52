#include "platform/qt/history_opener.h"

namespace quillet {

HistoryOpener::HistoryOpener(QString journal_path, HelpOpener* help)
    : journal_path_(std::move(journal_path)), help_(help) {}

HistoryOpener::~HistoryOpener() {
    delete window_.data();
}

void HistoryOpener::Show() {
    if (window_ == nullptr) {
        window_ = new HistoryWindow(journal_path_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
        if (help_) {
            help_->AddHelpKey(*window_, "history.html");
        }
    } else {
        window_->ApplyFilter();
    }
    window_->show();
    if (window_->isMinimized()) {
        window_->showNormal();
    }
    window_->raise();
    window_->activateWindow();
}

bool HistoryOpener::ShowOrder(const QString& order_id) {
    Show();
    return window_->ShowOrder(order_id);
}

}  // namespace quillet
