// The keys and values of a registry file as Wine writes it (user.reg, system.reg), parsed once
// and then looked up.
//
// The file: the first line "WINE REGISTRY Version 2" (otherwise the registry is empty); key
// lines "[A\\B\\C] <time>" whose names escape "[" and "]" with a backslash; then the key's
// value lines:
//   "name"="text"   str:"text"   str(2):"text"   str(7):"text"   (REG_SZ, _EXPAND_SZ, _MULTI_SZ)
//   "name"=dword:0000004b                                        (REG_DWORD, hexadecimal)
//   "name"=hex:01,02,\        "name"=hex(N):...                  (REG_BINARY, type N in hex)
//     03,04                   (a byte list goes on after a line that ends in a backslash)
//   @=...                     (the key's default value)
// Names and texts use the escapes \\ \" \a \b \t \n \v \f \r \e, octal (\0, \003, up to three
// digits) and \x with up to four hexadecimal digits, each giving one UTF-16 code unit; any
// other escaped character stands for itself. Bytes of well-formed UTF-8 give their character,
// other bytes above 0x7F the Latin-1 character. Lines "#time=", "#class=", "#link" and any
// other "#" option, ";" comments and empty lines are passed over; a link key is read as an
// ordinary key. Lines may end in LF or CRLF. A line that begins with "[" always starts a key,
// even after a byte list's trailing backslash.
//
// A line that does not parse (a key line without its "]", a value with an unterminated text,
// a bad type or a byte list that goes wrong) is passed over; the values after a bad key line
// belong to no key until the next good one. So is a value of more than 1 MiB, and a line of more
// than 4 MiB (kMaxWineValueBytes, kMaxWineLineBytes). Keys and value names ignore letter case; a value
// named twice in a key keeps the later one; a key that appears twice gets the values of both.
// A key whose parent has no line of its own is there, and so is its parent, without values.
//
// A parse may keep only some subtrees (a key with all the keys below it): it then skips every
// other key line and its values unread, and holds the kept keys and their values just as the
// whole parse would. Their parents are there too, without values and with only the kept
// subkeys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/registry_store.h"

namespace quillet {

class WineRegistryLines;

class WineRegistry {
  public:
    // An empty registry: no keys but the root, no values.
    WineRegistry();

    // The registry that `text`, the whole file, holds; with `kept_subtrees` (key paths, "\"
    // between levels, letter case ignored) only those subtrees of it. Never fails (see above).
    static WineRegistry Parse(std::string_view text,
                              const std::vector<std::string>& kept_subtrees = {});
    // The same for the lines of `lines`, read to their end.
    static WineRegistry Parse(WineRegistryLines& lines,
                              const std::vector<std::string>& kept_subtrees = {});

    // The value `value_name` (empty: the default value) of the key at `key_path` (levels
    // separated by "\", empty levels passed over, the empty path being the root); null when
    // the key or the value is missing. Valid until this registry changes or goes.
    const RegistryData* FindValue(std::string_view key_path, std::string_view value_name) const;

    // The name of the subkey at `index` of the key at `key_path`, the subkeys in name order
    // ignoring letter case; null when the key is missing or `index` is past its last subkey.
    // Valid until this registry changes or goes.
    const std::string* SubkeyName(std::string_view key_path, size_t index) const;

  private:
    struct Value {
        std::string folded_name;
        RegistryData data;
    };
    struct Key {
        std::string name;
        std::string folded_name;
        std::vector<uint32_t> children;  // by folded name once parsed
        std::vector<Value> values;       // by folded name once parsed, one per name
    };
    class Builder;

    std::optional<uint32_t> FindKey(std::string_view key_path) const;

    std::vector<Key> keys_;  // keys_[0] is the root
};

}  // namespace quillet
