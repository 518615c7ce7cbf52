#include "platform/fix/fix_frame_guard.h"

namespace quillet {

std::string FixFrameGuard::Take(const char* bytes, size_t size) {
    if (refused_) {
        return "the connection was refused already";
    }
    const std::string limit = " over the limit of " + std::to_string(max_) +
                              " bytes (MaxMessageSize in the FIX settings)";
    size_t at = 0;
    while (at < size) {
        if (left_ > 0) {  // the rest of a message whose length is known
            const uint64_t skipped = left_ < size - at ? left_ : size - at;
            at += static_cast<size_t>(skipped);
            left_ -= skipped;
            seeking_ = left_ == 0;
            junk_ = 0;
            last_ = 0;
            continue;
        }
        if (seeking_) {
            const char c = bytes[at++];
            if (last_ == '8' && c == '=') {
                seeking_ = false;
                start_ = "8=";
            } else if (++junk_ > max_) {
                refused_ = true;
                return std::to_string(junk_) + " bytes without the start of a message (8=)," +
                       limit;
            }
            last_ = c;
            continue;
        }
        start_ += bytes[at++];
        // "8=FIX.4.4\x01" "9=123\x01": the length counts from after that SOH to the checksum's.
        const size_t nine = start_.find(
            "\x01"
            "9=");
        const size_t end = nine == std::string::npos ? nine : start_.find('\x01', nine + 3);
        if (end == std::string::npos) {
            if (start_.size() > kMaxStartBytes) {
                refused_ = true;
                return "a message without its BodyLength (9) in its first " +
                       std::to_string(kMaxStartBytes) + " bytes";
            }
            continue;
        }
        uint64_t length = 0;
        for (size_t i = nine + 3; i < end; ++i) {
            const char digit = start_[i];
            if (digit < '0' || digit > '9' || length > max_) {
                break;  // QuickFIX refuses what is no number; an overlong one is caught below
            }
            length = length * 10 + static_cast<uint64_t>(digit - '0');
        }
        if (length > max_) {
            refused_ = true;
            return "a message whose BodyLength (9) is " + start_.substr(nine + 3, end - nine - 3) +
                   " bytes," + limit;
        }
        left_ = length + 7;  // and "10=NNN\x01"
        start_.clear();
    }
    return {};
}

}  // namespace quillet
