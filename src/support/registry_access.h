// Reading the registry the way the ANSI registry functions do: names and text data pass
// through Windows-1252, one byte per character, and the data must fit the program's buffers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/registry_store.h"
#include "support/registry_value.h"

namespace quillet {

// The value `value_name` of the key `key_path` under `root`, decoded (see DecodeRegValue).
// The names reach the store as Windows-1252 would carry them: a character that code page
// lacks becomes "?". A text value is converted to Windows-1252 bytes (a character it lacks
// becomes "?") plus its terminating zero before decoding. Gives empty text when the key or
// value is missing or the store cannot be read, and when the data (text values: their
// Windows-1252 bytes with the terminating zero, which a stored text that lacks it is given)
// are longer than kRegValueBufferSize; never a cut-off part. Never fails.
RegValue RegReadValue(RegistryStore& store, uint32_t root, std::string_view key_path,
                      std::string_view value_name);

// The name of the subkey at `index` (0-based, in name order ignoring case) of `key_path`
// under `root`, as Windows-1252 carries it (a character it lacks becomes "?"). Empty text when
// `index` is negative or past the last subkey, the key is missing, the store cannot be read,
// or the name with its terminating zero is longer than kRegKeyNameBufferSize bytes. Never
// fails.
std::string RegEnumSubkey(RegistryStore& store, uint32_t root, std::string_view key_path,
                          int32_t index);

}  // namespace quillet
