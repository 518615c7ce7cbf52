// The flag test that turns an account setting into ReqAuth or SecConn.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet {

// 1 when `text` is not empty and the decimal number it begins with is greater than 0, else 0.
// The number is read as ReadLeadingNumber reads it: "1", "2" and "00000001" give 1; "0", "",
// "-1" and "yes" give 0. Never fails.
int32_t AccountFlag(std::string_view text);

}  // namespace quillet
