// Arbitrary text as a profile's prefs.js. Names and values come out as well-formed UTF-8, and
// whatever the text holds, a statement on a line of its own after it (and after a "*/" that
// ends any comment left open) is read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "accounts/user_prefs.h"
#include "fuzz_check.h"
#include "support/utf8.h"

using quillet::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const auto& [name, value] : quillet::ReadUserPrefs(text)) {
        Check(quillet::MendUtf8(name) == name && quillet::MendUtf8(value) == value,
              "names and values are well-formed UTF-8");
    }
    const auto after =
        quillet::ReadUserPrefs(text + "\n*/\nuser_pref(\"fuzz.check\", 'a\\u00E5');");
    Check(after.contains("fuzz.check") && after.at("fuzz.check") == "a\xC3\xA5",
          "reading recovers at the next line");
    return 0;
}
