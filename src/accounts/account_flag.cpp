#include "accounts/account_flag.h"

#include "support/number_text.h"

namespace quillet {

int32_t AccountFlag(std::string_view text) {
    return !text.empty() && ReadLeadingNumber(text) > 0 ? 1 : 0;
}

}  // namespace quillet
