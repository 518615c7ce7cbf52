// Command lines taken apart as a shell would, without one.
#include "mail/command_line.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, QuotesAndBackslashesAsAShellTakesThem) {
    const std::pair<const char*, Words> cases[] = {
        {"oama access you@example.com", {"oama", "access", "you@example.com"}},
        {"  \tpass\n show  mail ", {"pass", "show", "mail"}},
        {"'/my tools/token' --user \"a b\"", {"/my tools/token", "--user", "a b"}},
        {R"(a\ b 'it''s' "q\"\\\$x\y")", {"a b", "its", R"(q"\$x\y)"}},
        {R"('a\"b' x"y"z '' "")", {R"(a\"b)", "xyz", "", ""}},
        {"$HOME/bin/t ~ *", {"$HOME/bin/t", "~", "*"}},
        {"a\\\nb", {"ab"}},
    };
    for (const auto& [line, words] : cases) {
        const auto split = SplitCommandLine(line);
        ASSERT_TRUE(split.ok()) << line;
        EXPECT_EQ(split.value(), words) << line;
    }
    for (const char* bad : {"'open", "\"open", "end\\", "", "   "}) {
        EXPECT_FALSE(SplitCommandLine(bad).ok()) << bad;
    }
}

}  // namespace
}  // namespace quillet
