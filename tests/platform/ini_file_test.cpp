#include "platform/profile/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A file as Windows writes it: CRLF, comments, other sections, another letter case.
TEST(IniFileTest, ReadsTheWindowsRulesAndEditsKeepEveryOtherLineByteForByte) {
    TempDir dir;
    const std::string head = "; by hand\r\n[Other]\r\nKey=other value\r\n\r\n[quillet]\r\n";
    const std::string tail = "; a comment inside\r\nalpha=second of the same name\r\n";
    WriteFile(dir.Path("q.ini"), head + "  Alpha  =  one two  \r\nQuoted=\"  spaced  \"\r\n" +
                                     tail + "\r\n[Last]\r\nx=y");
    IniFile ini(dir.Path("q.ini"));
    ASSERT_FALSE(ini.Load());
    EXPECT_EQ(ini.GetString("QUILLET", "ALPHA", "-1"), "one two");
    EXPECT_EQ(ini.GetString("Quillet", "Quoted", "-1"), "  spaced  ");
    EXPECT_EQ(ini.GetString("Quillet", "Key", "-1"), "-1");
    ini.SetString("Quillet", "alpha", "changed");      // replaced in place
    ini.SetString("Quillet", "Quoted", std::nullopt);  // removed
    ini.SetString("Quillet", "New", "added");          // after the section's last entry
    ini.SetString("Fresh", "k", "v");                  // a new section at the end
    ASSERT_FALSE(ini.Save());
    EXPECT_EQ(
        ReadFile(dir.Path("q.ini")),
        head + "alpha=changed\r\n" + tail + "New=added\r\n\r\n[Last]\r\nx=y\r\n[Fresh]\r\nk=v\r\n");
}

TEST(IniFileTest, NewFileIsTheUsersAloneAnOldOneKeepsItsModeAndAFailedSaveSaysWhy) {
    TempDir dir;
    IniFile fresh(dir.Path("new.ini"));
    ASSERT_FALSE(fresh.Load());
    fresh.SetString("Quillet", "k", "v");
    ASSERT_FALSE(fresh.Save());
    struct stat st {};
    ASSERT_EQ(::stat(dir.Path("new.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFile(dir.Path("new.ini")), "[Quillet]\r\nk=v\r\n");
    ::chmod(dir.Path("new.ini").c_str(), 0640);  // an existing file keeps its mode
    fresh.SetString("Quillet", "k", "w");
    ASSERT_FALSE(fresh.Save());
    EXPECT_TRUE(::stat(dir.Path("new.ini").c_str(), &st) == 0 && (st.st_mode & 0777) == 0640u);
    // A missing folder fails for every user (root writes into read-only ones).
    IniFile lost(dir.Path("no/such/q.ini"));
    ASSERT_FALSE(lost.Load());
    lost.SetString("Quillet", "k", "v");
    const auto error = lost.Save();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(dir.Path("no/such/q.ini")), std::string::npos) << *error;
    EXPECT_NE(error->find("No such file"), std::string::npos) << *error;
}

}  // namespace
}  // namespace quillet
