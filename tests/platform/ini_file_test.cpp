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
const std::string kWindowsFile =
    "; written by hand\r\n"
    "[Other]\r\n"
    "Key=other value\r\n"
    "\r\n"
    "[quillet]\r\n"
    "  Alpha  =  one two  \r\n"
    "; a comment inside\r\n"
    "Quoted=\"  spaced  \"\r\n"
    "alpha=second of the same name\r\n"
    "\r\n"
    "[Last]\r\n"
    "x=y";

TEST(IniFileTest, ReadsTheWindowsRulesAndEditsKeepEveryOtherLineByteForByte) {
    TempDir dir;
    WriteFile(dir.Path("q.ini"), kWindowsFile);
    IniFile ini(dir.Path("q.ini"));
    ASSERT_FALSE(ini.Load());
    EXPECT_EQ(ini.GetString("QUILLET", "ALPHA", "-1"), "one two");
    EXPECT_EQ(ini.GetString("Quillet", "Quoted", "-1"), "  spaced  ");
    EXPECT_EQ(ini.GetString("Quillet", "Key", "-1"), "-1");
    EXPECT_EQ(ini.GetString("Other", "key", "-1"), "other value");
    EXPECT_EQ(ini.GetString("Last", "x", ""), "y");
    ini.SetString("Quillet", "alpha", "changed");      // replaced in place
    ini.SetString("Quillet", "Quoted", std::nullopt);  // removed
    ini.SetString("Quillet", "New", "added");          // after the section's last entry
    ini.SetString("Fresh", "k", "v");                  // a new section at the end
    ini.SetString("Quillet", "absent", std::nullopt);  // nothing to remove
    ASSERT_FALSE(ini.Save());
    EXPECT_EQ(ReadFile(dir.Path("q.ini")),
              "; written by hand\r\n"
              "[Other]\r\n"
              "Key=other value\r\n"
              "\r\n"
              "[quillet]\r\n"
              "alpha=changed\r\n"
              "; a comment inside\r\n"
              "alpha=second of the same name\r\n"
              "New=added\r\n"
              "\r\n"
              "[Last]\r\n"
              "x=y\r\n"
              "[Fresh]\r\n"
              "k=v\r\n");
}

TEST(IniFileTest, NewFileIsTheUsersAloneAndAnExistingOneKeepsItsMode) {
    TempDir dir;
    IniFile fresh(dir.Path("new.ini"));
    ASSERT_FALSE(fresh.Load());
    fresh.SetString("Quillet", "k", "v");
    ASSERT_FALSE(fresh.Save());
    struct stat st {};
    ASSERT_EQ(::stat(dir.Path("new.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFile(dir.Path("new.ini")), "[Quillet]\r\nk=v\r\n");

    WriteFile(dir.Path("old.ini"), "[Quillet]\r\n");
    ::chmod(dir.Path("old.ini").c_str(), 0640);
    IniFile old(dir.Path("old.ini"));
    ASSERT_FALSE(old.Load());
    old.SetString("Quillet", "k", "v");
    ASSERT_FALSE(old.Save());
    ASSERT_EQ(::stat(dir.Path("old.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(IniFileTest, FailedSaveSaysWhyAndLeavesTheFileAlone) {
    // A missing folder fails for every user (root writes into read-only ones).
    TempDir dir;
    IniFile ini(dir.Path("no/such/folder/q.ini"));
    ASSERT_FALSE(ini.Load());
    ini.SetString("Quillet", "k", "v");
    const auto error = ini.Save();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(dir.Path("no/such/folder/q.ini")), std::string::npos) << *error;
    EXPECT_NE(error->find("No such file"), std::string::npos) << *error;
}

TEST(IniFileTest, UnchangedFileIsNotRewritten) {
    TempDir dir;
    WriteFile(dir.Path("q.ini"), "[Quillet]\nk=v\n");
    IniFile ini(dir.Path("q.ini"));
    ASSERT_FALSE(ini.Load());
    ini.SetString("Quillet", "k", "v");  // same value, but the line would become CRLF
    ini.SetString("Quillet", "gone", std::nullopt);
    ASSERT_FALSE(ini.Save());
    EXPECT_EQ(ReadFile(dir.Path("q.ini")), "[Quillet]\nk=v\n");
}

}  // namespace
}  // namespace quillet
