#include "platform/registry/wine_registry_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <regex>

#include "support/registry_access.h"
#include "support/temp_dir.h"
#include "support/wine_user_reg.h"

namespace quillet {
namespace {

using namespace std::string_literals;
using test::TempDir;
using test::WriteFile;

// A user.reg as Wine writes it, with the cases the reader has to get right.
std::string UserReg() {
    return R"(WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-1-2-3-1000

[Software\\Quillet\\Texts] 1700000000
"Escapes"="\\ \" \a\b\t\n\v\f\r\e \101\0102\3a\0b"
"Hex"="Caf\xe9 \x20ac \x00e91 \x41G \xq \x0416"
@="the default"
"Dup"="first"
"  Spaced name "  =  "value"

[Software\\Quillet\\Odd \[name\]] 1700000000

[Software\\Quillet\\Caf\xe9] 1700000000

[Software\\Quillet\\Orphan\\Child\\Leaf] 1700000000

[Software\\Quillet\\Numbers] 1700000000
"Max"=dword:ffffffff
"HexDword"=hex(4):19,00,00,00
"Binary"=hex:01,00,ab,0f,10
)" + test::WineHexValue("Wrapped", "hex", std::string(100, '\x11')) +
           R"(
[Software\\Quillet\\Broken 1700000000

[Software\\Quillet\\Mixed] 1700000000
"Unterminated"="abc
"BadHex"=hex:1ff,00
"Good"="kept"

[software\\quillet\\TEXTS] 1700000001
"DUP"="second"
)";
}

TEST(WineRegistryStoreTest, ReadsValuesAndKeysAsWineWritesThem) {
    for (const char* eol : {"\n", "\r\n"}) {
        TempDir dir;
        WriteFile(dir.Path("user.reg"), std::regex_replace(UserReg(), std::regex("\n"), eol));
        WineRegistryStore store(dir.Path("user.reg"));
        const std::tuple<const char*, const char*, std::string> cases[] = {
            {"Texts", "Escapes", "\\ \" \a\b\t\n\v\f\r\x1B A\b2\3a\0b"s},
            {"Texts", "Hex", "Caf\xC3\xA9 \xE2\x82\xAC \xC3\2511 AG xq ?"},  // ?: not Windows-1252
            {"Texts", "", "the default"},
            {"Texts", "Dup", "second"},  // the later of two, in another section of the same key
            {"texts", "  Spaced name ", "value"},
            {"Numbers", "Max", "4294967295"},
            {"Numbers", "HexDword", "25"},
            {"Numbers", "Binary", "0100AB0F10"},
            {"Numbers", "Wrapped", std::string(200, '1')},  // wrapped as Wine wraps
            {"Mixed", "Good", "kept"},                      // after lines that do not parse
        };
        for (const auto& [key, value, expected] : cases) {
            EXPECT_EQ(RegValueText(RegReadValue(store, HKEY_CURRENT_USER,
                                                "Software\\Quillet\\"s + key, value)),
                      expected)
                << key << " " << value << (eol[0] == '\r' ? " (CRLF)" : "");
        }
        const char* const subkeys[] = {"Caf\xC3\xA9", "Mixed", "Numbers", "Odd [name]",
                                       "Orphan",      "Texts", ""};
        for (int32_t i = 0; i < 7; ++i) {
            EXPECT_EQ(RegEnumSubkey(store, HKEY_CURRENT_USER, "Software\\Quillet", i), subkeys[i]);
        }
        EXPECT_EQ(RegEnumSubkey(store, 0x80000002, "Software", 0), "");  // another root
    }
}

TEST(WineRegistryStoreBlocksTest, LinesAcrossTheBlocksOfALargeFileAreAllRead) {
    // Far more than one block of the reader, with a line longer than a block.
    constexpr int kKeys = 20000;
    std::string text = "WINE REGISTRY Version 2\n", hex = "\"Long\"=hex:";
    for (int byte = 0; byte < 100000; ++byte) {
        hex += "ab,";
    }
    for (int i = 0; i < kKeys; ++i) {
        text += "[K\\\\" + std::to_string(i) + "] 1\n\"V\"=\"" + std::to_string(i) + "\"\n" +
                (i == kKeys / 2 ? hex + "cd\n" : "");
    }
    TempDir dir;
    WriteFile(dir.Path("user.reg"), text);
    WineRegistryStore store(dir.Path("user.reg"));
    for (int i = 0; i < kKeys; ++i) {
        ASSERT_EQ(
            RegValueText(RegReadValue(store, HKEY_CURRENT_USER, "K\\" + std::to_string(i), "V")),
            std::to_string(i));
    }
    EXPECT_EQ(store.QueryValue(HKEY_CURRENT_USER, "K\\" + std::to_string(kKeys / 2), "Long")
                  .value_or(RegistryData{})
                  .bytes,
              std::string(100000, '\xAB') + '\xCD');
}

TEST(WineRegistryStoreFreshnessTest, EveryChangeToTheFileShowsAtTheNextCall) {
    TempDir dir;
    const std::string path = dir.Path("user.reg");
    WineRegistryStore whole(path), kept(path, {"\\k\\"});  // the kept key however spelled
    const auto read = [&] {
        const std::string text = RegValueText(RegReadValue(whole, HKEY_CURRENT_USER, "K", "V"));
        EXPECT_EQ(RegValueText(RegReadValue(kept, HKEY_CURRENT_USER, "K", "V")), text);
        return text;
    };
    const auto write = [](const std::string& file, const std::string& value, time_t seconds) {
        WriteFile(file, "WINE REGISTRY Version 2\n[K] 1\n\"V\"=\"" + value + "\"\n");
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    };
    write(path, "one", 1000);
    EXPECT_EQ(read(), "one");
    write(path, "two", 1001);  // same size, later time
    EXPECT_EQ(read(), "two");
    write(path, "three", 1001);  // other size, same time
    EXPECT_EQ(read(), "three");
    write(dir.Path("new.reg"), "fours", 1001);  // put in its place, same size and time
    ASSERT_EQ(std::rename(dir.Path("new.reg").c_str(), path.c_str()), 0);
    EXPECT_EQ(read(), "fours");
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(read(), "");  // no file
}

}  // namespace
}  // namespace quillet
