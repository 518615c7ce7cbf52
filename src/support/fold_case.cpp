#include "support/fold_case.h"

#include <cstdint>

namespace quillet {

std::string FoldCase(std::string_view text) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        const auto b = static_cast<uint8_t>(out[i]);
        if (b >= 'a' && b <= 'z') {
            out[i] = static_cast<char>(b - 0x20);
            continue;
        }
        if (i + 1 >= out.size() || (b != 0xC3 && b != 0xC5)) {
            continue;
        }
        const auto next = static_cast<uint8_t>(out[i + 1]);
        if ((next & 0xC0) != 0x80) {
            continue;  // a lead byte on its own: the next byte is a character of its own
        }
        if (b == 0xC3 && next >= 0xA0 && next <= 0xBE && next != 0xB7) {
            out[i + 1] = static_cast<char>(next - 0x20);  // à-þ to À-Þ, leaving ÷ alone
        } else if (b == 0xC3 && next == 0xBF) {
            out[i] = static_cast<char>(0xC5);  // ÿ to Ÿ (U+0178)
            out[i + 1] = static_cast<char>(0xB8);
        } else if (b == 0xC5 && (next == 0xA1 || next == 0x93 || next == 0xBE)) {
            out[i + 1] = static_cast<char>(next - 1);  // š œ ž to Š Œ Ž
        }
        ++i;
    }
    return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

size_t FindIgnoringCase(std::string_view text, std::string_view key) {
    return FoldCase(text).find(FoldCase(key));
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace quillet
