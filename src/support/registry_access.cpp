#include "support/registry_access.h"

#include "support/ansi_code_page.h"
#include "support/utf16.h"

namespace quillet {
namespace {

// A name as it arrives after the trip through Windows-1252.
std::string ThroughAnsi(std::string_view utf8) {
    return AnsiToUtf8(Utf8ToAnsi(utf8));
}

bool IsTextType(uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace

RegValue RegReadValue(RegistryStore& store, uint32_t root, std::string_view key_path,
                      std::string_view value_name) {
    const auto data = store.QueryValue(root, ThroughAnsi(key_path), ThroughAnsi(value_name));
    if (!data) {
        return std::string();
    }
    std::string bytes = data->bytes;
    if (IsTextType(data->type)) {
        bytes = Utf8ToAnsi(Utf16ToUtf8(Utf16Units(bytes, ByteOrder::LittleEndian)));
        // A text stored without its terminating zero still reads whole.
        if (bytes.empty() || bytes.back() != '\0') {
            bytes.push_back('\0');
        }
    }
    if (bytes.size() > kRegValueBufferSize) {
        return std::string();
    }
    return DecodeRegValue(data->type, bytes);
}

std::string RegEnumSubkey(RegistryStore& store, uint32_t root, std::string_view key_path,
                          int32_t index) {
    if (index < 0) {
        return {};
    }
    const auto name = store.EnumKey(root, ThroughAnsi(key_path), static_cast<uint32_t>(index));
    if (!name) {
        return {};
    }
    const std::string bytes = Utf8ToAnsi(*name);
    if (bytes.size() + 1 > kRegKeyNameBufferSize) {
        return {};
    }
    return AnsiToUtf8(bytes);
}

}  // namespace quillet
