#include "accounts/mail_account.h"

namespace quillet {

const MailAccount* AccountTable::Accounts(int32_t index) const {
    if (index < 1 || index > AccountCount()) {
        return nullptr;
    }
    return &records_[static_cast<size_t>(index - 1)];
}

MailAccount& AccountTable::Append() {
    return records_.emplace_back();
}

}  // namespace quillet
