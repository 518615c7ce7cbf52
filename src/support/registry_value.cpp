#include "support/registry_value.h"

#include <cstdint>

#include "support/ansi_code_page.h"

namespace quillet {

RegValue DecodeRegValue(uint32_t type, std::string_view data) {
    switch (type) {
        case REG_SZ:
            if (data.empty()) {
                return RegNothing{};
            }
            return AnsiToUtf8(data.substr(0, data.size() - 1));
        case REG_BINARY: {
            static constexpr char kDigits[] = "0123456789ABCDEF";
            std::string hex;
            hex.reserve(data.size() * 2);
            for (char c : data) {
                const auto byte = static_cast<uint8_t>(c);
                hex.push_back(kDigits[byte >> 4]);
                hex.push_back(kDigits[byte & 0x0F]);
            }
            return hex;
        }
        case REG_DWORD: {
            uint32_t number = 0;
            for (size_t i = 0; i < 4 && i < data.size(); ++i) {
                number |= static_cast<uint32_t>(static_cast<uint8_t>(data[i])) << (8 * i);
            }
            return number;
        }
        default:
            return RegNothing{};
    }
}

std::string RegValueText(const RegValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<uint32_t>(&value)) {
        return std::to_string(*number);
    }
    return {};
}

}  // namespace quillet
