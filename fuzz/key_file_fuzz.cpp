// Arbitrary text as a key file (Evolution's sources, KMail's files, GNOME Online Accounts'
// accounts.conf). Every group listed is there once, values are well-formed UTF-8, and a group
// written on the lines after the text is read whatever the text holds.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "accounts/key_file.h"
#include "fuzz_check.h"
#include "support/utf8.h"

using quillet::KeyFile;
using quillet::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const KeyFile file = KeyFile::Parse(text);
    const std::set<std::string> groups(file.Groups().begin(), file.Groups().end());
    Check(groups.size() == file.Groups().size(), "a group is listed once");
    for (const std::string& group : file.Groups()) {
        const std::string value = file.Value(group, "Host");
        Check(file.HasGroup(group) && quillet::MendUtf8(value) == value,
              "listed groups are there, and values are well-formed UTF-8");
    }
    const KeyFile after = KeyFile::Parse(text + "\n[Fuzz Check]\nHost = a\\sb\\x21 \n");
    Check(after.Value("Fuzz Check", "Host") == "a b!", "reading recovers at the next group");
    return 0;
}
