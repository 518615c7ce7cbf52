#include "platform/registry/wine_registry_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "support/registry_access.h"
#include "support/temp_dir.h"
#include "support/wine_user_reg.h"

namespace quillet {
namespace {

using test::TempDir;
using test::WineHexValue;
using test::WriteFile;

// A user.reg as Wine writes it, with the cases the reader has to get right.
std::string UserReg() {
    return R"(WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-1-2-3-1000

#arch=win64

[Software\\Quillet\\Texts] 1700000000
#time=1da2b3c4d5e6f70
"Escapes"="\\ \" \a\b\t\n\v\f\r\e"
"Octal"="\101\0102\3"
"Hex"="Caf\xe9 \x20ac \x00e91 \x41G \xq"
"Foreign"="\x0416"
"Embedded"="a\0b"
@="the default"
"Expand"=str(2):"%HOME%"
"Utf16"=hex(1):43,00,e9,00,00,00
"Dup"="first"
"  Spaced name "  =  "value"

[Software\\Quillet\\Odd \[name\]] 1700000000

[Software\\Quillet\\Caf\xe9] 1700000000

[Software\\Quillet\\Orphan\\Child\\Leaf] 1700000000
"Leaf"=dword:00000001

[Software\\Quillet\\Numbers] 1700000000
"Max"=dword:ffffffff
"HexDword"=hex(4):19,00,00,00
"Binary"=hex:01,00,ab,0f,10
"Qword"=hex(b):01,00,00,00,00,00,00,00
)" + WineHexValue("Wrapped", "hex", std::string(100, '\x11')) +
           R"(
[Software\\Quillet\\Broken 1700000000
"Lost"="nowhere"

[Software\\Quillet\\Mixed] 1700000000
"Unterminated"="abc
"BadType"=foo:12
"BadHex"=hex:1ff,00
"BadCont"=hex:01,02 x
"NoEquals" "x"
"Good"="kept"

[software\\quillet\\TEXTS] 1700000001
"DUP"="second"
"Later"="yes"
)";
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

TEST(WineRegistryStoreTest, ReadsValuesAndKeysAsWineWritesThem) {
    for (const bool crlf : {false, true}) {
        TempDir dir;
        WriteFile(dir.Path("user.reg"), crlf ? WithCrLf(UserReg()) : UserReg());
        WineRegistryStore store(dir.Path("user.reg"));
        const auto text = [&](std::string_view key, std::string_view value) {
            return RegValueText(RegReadValue(store, HKEY_CURRENT_USER, key, value));
        };
        const struct {
            const char* key;
            const char* value;
            std::string expected;
        } cases[] = {
            {"Texts", "Escapes", "\\ \" \a\b\t\n\v\f\r\x1B"},
            {"Texts", "Octal", "A\b2\x03"},
            {"Texts", "Hex",
             "Caf\xC3\xA9 \xE2\x82\xAC \xC3\xA9"
             "1 AG xq"},
            {"Texts", "Foreign", "?"},  // not in Windows-1252
            {"Texts", "Embedded", std::string("a\0b", 3)},
            {"Texts", "", "the default"},
            {"Texts", "Utf16", "C\xC3\xA9"},
            {"Texts", "Dup", "second"},  // the later of two, in another section of the same key
            {"texts", "  Spaced name ", "value"},
            {"Texts", "Expand", ""},  // types the program does not read give nothing
            {"Numbers", "Max", "4294967295"},
            {"Numbers", "HexDword", "25"},
            {"Numbers", "Binary", "0100AB0F10"},
            {"Numbers", "Qword", ""},
            {"Numbers", "Wrapped", std::string(200, '1')},  // wrapped as Wine wraps
            {"Mixed", "BadHex", ""},  // lines that do not parse are passed over
            {"Mixed", "NoEquals", ""},
            {"Mixed", "Good", "kept"},
            {"Orphan\\Child\\Leaf", "Leaf", "1"},
        };
        for (const auto& c : cases) {
            EXPECT_EQ(text(std::string("Software\\Quillet\\") + c.key, c.value), c.expected)
                << c.key << " " << c.value << (crlf ? " (CRLF)" : "");
        }
        const std::vector<std::string> subkeys = {"Caf\xC3\xA9", "Mixed", "Numbers", "Odd [name]",
                                                  "Orphan",      "Texts", ""};
        for (size_t i = 0; i < subkeys.size(); ++i) {
            EXPECT_EQ(RegEnumSubkey(store, HKEY_CURRENT_USER, "Software\\Quillet",
                                    static_cast<int32_t>(i)),
                      subkeys[i]);
        }
        EXPECT_EQ(RegEnumSubkey(store, 0x80000002, "Software", 0), "");  // another root
    }
}

TEST(WineRegistryStoreTest, KeepsOnlyTheNamedSubtreesHoweverSpelled) {
    TempDir dir;
    WriteFile(dir.Path("user.reg"), UserReg());
    WineRegistryStore kept(dir.Path("user.reg"),
                           {"software\\QUILLET\\texts", "\\Software\\\\Quillet\\Orphan\\"});
    const auto text = [&](std::string_view key, std::string_view value) {
        return RegValueText(RegReadValue(kept, HKEY_CURRENT_USER, key, value));
    };
    EXPECT_EQ(text("Software\\Quillet\\Texts", "Dup"), "second");
    EXPECT_EQ(text("Software\\Quillet\\Orphan\\Child\\Leaf", "Leaf"), "1");
    EXPECT_EQ(text("Software\\Quillet\\Numbers", "Max"), "");
    const char* const subkeys[] = {"Orphan", "Texts", ""};
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(RegEnumSubkey(kept, HKEY_CURRENT_USER, "Software\\Quillet", i), subkeys[i]);
    }
}

TEST(WineRegistryStoreBlocksTest, LinesAcrossTheBlocksOfALargeFileAreAllRead) {
    // Far more than one block of the reader, with a line longer than a block.
    TempDir dir;
    constexpr int kKeys = 20000;
    std::string text = "WINE REGISTRY Version 2\n";
    for (int i = 0; i < kKeys; ++i) {
        text += "[K\\\\" + std::to_string(i) + "] 1\n\"V\"=\"" + std::to_string(i) + "\"\n";
        if (i == kKeys / 2) {
            text += "\"Long\"=hex:";
            for (int byte = 0; byte < 100000; ++byte) {
                text += "ab,";
            }
            text += "cd\n";
        }
    }
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

// Sets the file's modification time `seconds` after the epoch.
void SetModified(const std::string& path, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(WineRegistryStoreFreshnessTest, EveryChangeToTheFileShowsAtTheNextCall) {
    TempDir dir;
    const std::string path = dir.Path("user.reg");
    const auto file = [](const char* value) {
        return std::string("WINE REGISTRY Version 2\n[K] 1\n\"V\"=\"") + value + "\"\n";
    };
    WineRegistryStore whole(path);
    WineRegistryStore kept(path, {"K"});
    const auto read = [&] {
        const std::string text = RegValueText(RegReadValue(whole, HKEY_CURRENT_USER, "K", "V"));
        EXPECT_EQ(RegValueText(RegReadValue(kept, HKEY_CURRENT_USER, "K", "V")), text);
        return text;
    };
    EXPECT_EQ(read(), "");  // no file yet

    WriteFile(path, file("one"));
    SetModified(path, 1000);
    EXPECT_EQ(read(), "one");
    EXPECT_EQ(read(), "one");

    WriteFile(path, file("two"));  // same size, later time
    SetModified(path, 1001);
    EXPECT_EQ(read(), "two");

    WriteFile(path, file("three"));  // other size, same time
    SetModified(path, 1001);
    EXPECT_EQ(read(), "three");

    WriteFile(dir.Path("new.reg"), file("fours"));  // put in its place, same size and time
    SetModified(dir.Path("new.reg"), 1001);
    ASSERT_EQ(std::rename(dir.Path("new.reg").c_str(), path.c_str()), 0);
    EXPECT_EQ(read(), "fours");

    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(read(), "");
}

}  // namespace
}  // namespace quillet
