#include "platform/profile/ini_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Perms = std::filesystem::perms;

// A file as Windows writes it: CRLF, comments, other sections, another letter case.
TEST(IniFileTest, ReadsTheWindowsRulesAndEditsKeepEveryOtherLineByteForByte) {
    TempDir dir;
    const std::string head = "; by hand\r\n[Other]\r\nKey=other value\r\n\r\n[quillet]\r\n";
    const std::string tail = "; a comment inside\r\nalpha=second of the same name\r\n";
    WriteFile(dir.Path("q.ini"), head + "  Alpha  =  one two  \r\nQuoted=\"  spaced  \"\r\n" +
                                     tail + "\r\n[Last]\r\nx=y");
    IniFile ini(dir.Path("q.ini"));
    ASSERT_TRUE(ini.Load().ok());
    EXPECT_EQ(ini.GetString("QUILLET", "ALPHA", "-1"), "one two");
    EXPECT_EQ(ini.GetString("Quillet", "Quoted", "-1"), "  spaced  ");
    EXPECT_EQ(ini.GetString("Quillet", "Key", "-1"), "-1");
    // A read is cut to its first 511 characters, whatever the length stored.
    IniFile long_values(dir.Path("long.ini"));
    for (const size_t length : {510, 511, 512, 4096}) {
        long_values.SetString("Long", "v", std::string(length, 'x'));
        EXPECT_EQ(long_values.GetString("Long", "v", "").size(), std::min<size_t>(length, 511))
            << length;
    }
    ini.SetString("Quillet", "alpha", "changed");      // replaced in place
    ini.SetString("Quillet", "Quoted", std::nullopt);  // removed
    ini.SetString("Quillet", "New", "added");          // after the section's last entry
    ini.SetString("Fresh", "k", "v");                  // a new section at the end
    ASSERT_TRUE(ini.Save().ok());
    EXPECT_EQ(
        ReadFile(dir.Path("q.ini")),
        head + "alpha=changed\r\n" + tail + "New=added\r\n\r\n[Last]\r\nx=y\r\n[Fresh]\r\nk=v\r\n");
}

// As the settings are written back: every entry taken out, then added again; a key given twice
// shows its second entry once the first is gone.
TEST(IniFileTest, EntriesTakenOutAndAddedAgainLeaveNoTrace) {
    TempDir dir;
    WriteFile(dir.Path("q.ini"), "[Quillet]\r\nA=1\r\nB=2\r\nk=x\r\nk=y\r\nC=3\r\n; end\r\n");
    IniFile ini(dir.Path("q.ini"));
    ASSERT_TRUE(ini.Load().ok());
    for (const char* key : {"A", "B", "k", "C"}) {
        ini.SetString("Quillet", key, std::nullopt);
    }
    EXPECT_EQ(ini.GetString("Quillet", "A", "-1"), "-1");
    EXPECT_EQ(ini.GetString("Quillet", "K", "-1"), "y");
    ini.SetString("Quillet", "C", "3");
    ini.SetString("Quillet", "A", "1");
    ini.SetString("Quillet", "k", std::nullopt);
    ini.SetString("Fresh", "n", "v");
    ASSERT_TRUE(ini.Save().ok());
    EXPECT_EQ(ReadFile(dir.Path("q.ini")),
              "[Quillet]\r\nC=3\r\nA=1\r\n; end\r\n[Fresh]\r\nn=v\r\n");
    EXPECT_EQ(ini.GetString("Quillet", "C", "-1"), "3");
}

TEST(IniFileTest, NewFileIsTheUsersAloneAnOldOneKeepsItsModeAndAFailedSaveSaysWhy) {
    TempDir dir;
    IniFile fresh(dir.Path("new.ini"));
    ASSERT_TRUE(fresh.Load().ok());
    fresh.SetString("Quillet", "k", "v");
    ASSERT_TRUE(fresh.Save().ok());
    EXPECT_EQ(std::filesystem::status(dir.Path("new.ini")).permissions(), Perms(0600));
    EXPECT_EQ(ReadFile(dir.Path("new.ini")), "[Quillet]\r\nk=v\r\n");
    ::chmod(dir.Path("new.ini").c_str(), 0640);  // an existing file keeps its mode
    fresh.SetString("Quillet", "k", "w");
    ASSERT_TRUE(fresh.Save().ok());
    EXPECT_EQ(std::filesystem::status(dir.Path("new.ini")).permissions(), Perms(0640));
    // A missing folder fails for every user (root writes into read-only ones).
    IniFile lost(dir.Path("no/such/q.ini"));
    ASSERT_TRUE(lost.Load().ok());
    lost.SetString("Quillet", "k", "v");
    const Result<> saved = lost.Save();
    ASSERT_FALSE(saved.ok());
    const std::string& error = saved.error().message;
    EXPECT_NE(error.find(dir.Path("no/such/q.ini")), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

// The two versions of the kill test differ in every value and in length: a mix is never taken
// for either.
constexpr int kKeys = 30;

std::string Value(bool long_values) {
    return std::string(long_values ? 300 : 40, long_values ? 'a' : 'b');
}

std::string Version(bool long_values) {
    std::string text = "[Quillet]\r\n";
    for (int key = 0; key < kKeys; ++key) {
        text += "key" + std::to_string(key) + "=" + Value(long_values) + "\r\n";
    }
    return text;
}

// Closes `started` as it begins, then rewrites the file between the two versions for ever.
[[noreturn]] void SaveForEver(const std::string& path, int started) {
    ::close(started);
    for (bool long_values = true;; long_values = !long_values) {
        IniFile file(path);
        if (!file.Load().ok()) {
            _exit(2);
        }
        for (int key = 0; key < kKeys; ++key) {
            file.SetString("Quillet", "key" + std::to_string(key), Value(long_values));
        }
        if (!file.Save().ok()) {
            _exit(3);
        }
    }
}

// A save killed at any moment leaves the settings file whole: the old one or the new one.
// Special files never hold the reader; a link is saved through, its target replaced.
TEST(IniFileTest, SpecialFilesAreRefusedAndSavingThroughALinkKeepsTheLink) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.Path("fifo.ini").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.Path("folder.ini"));
    for (const auto& [name, kind] :
         {std::pair{"fifo.ini", "a FIFO"}, {"folder.ini", "a folder"}, {"/dev/null", "a device"}}) {
        IniFile ini(name[0] == '/' ? std::string(name) : dir.Path(name));
        const Result<> loaded = ini.Load();
        ASSERT_FALSE(loaded.ok()) << name;
        EXPECT_NE(loaded.error().message.find(kind), std::string::npos) << loaded.error().message;
    }
    WriteFile(dir.Path("target.ini"), "[quillet]\r\nk=old\r\n");
    std::filesystem::permissions(dir.Path("target.ini"),
                                 Perms::owner_read | Perms::owner_write | Perms::group_read);
    std::filesystem::create_symlink("target.ini", dir.Path("link.ini"));
    IniFile ini(dir.Path("link.ini"));
    ASSERT_TRUE(ini.Load().ok());
    ini.SetString("quillet", "k", "new");
    ASSERT_TRUE(ini.Save().ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link.ini")));
    EXPECT_EQ(ReadFile(dir.Path("target.ini")), "[quillet]\r\nk=new\r\n");
    EXPECT_EQ(std::filesystem::status(dir.Path("target.ini")).permissions(),
              Perms::owner_read | Perms::owner_write | Perms::group_read);
}

TEST(IniFileKillTest, KilledSavesLeaveTheOldOrTheNewFile) {
    TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    WriteFile(path, Version(false));  // so that a missing or empty file is always damage
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delay_us(0, 1000);
    for (int round = 0; round < 200; ++round) {
        int started[2];
        ASSERT_EQ(::pipe(started), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveForEver(path, started[1]);
        }
        ::close(started[1]);
        char byte = 0;
        const bool began = ::read(started[0], &byte, 1) == 0;  // end of file: the child began
        ::close(started[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(began && WIFSIGNALED(status)) << "the saver stopped by itself: " << status;
        const std::string text = ReadFile(path);
        ASSERT_TRUE(text == Version(true) || text == Version(false))
            << "round " << round << ": a damaged file of " << text.size() << " bytes";
    }
}

}  // namespace
}  // namespace quillet
