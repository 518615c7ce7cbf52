// A save killed at any moment leaves the settings file whole: the old one or the new one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/profile/ini_file.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::ReadFile;

// Rewrites the file between two versions for ever; a version differs in every key and in
// its length, so a mix of the two is never mistaken for either.
[[noreturn]] void SaveForEver(const std::string& path) {
    for (int round = 0;; ++round) {
        IniFile file(path);
        if (file.Load()) {
            _exit(2);
        }
        const std::string value(round % 2 == 0 ? 300 : 40, round % 2 == 0 ? 'a' : 'b');
        for (int key = 0; key < 30; ++key) {
            file.SetString("Quillet", "key" + std::to_string(key), value);
        }
        if (file.Save()) {
            _exit(3);
        }
    }
}

std::string Version(bool long_values) {
    std::string text = "[Quillet]\r\n";
    for (int key = 0; key < 30; ++key) {
        text += "key" + std::to_string(key) + "=" +
                std::string(long_values ? 300 : 40, long_values ? 'a' : 'b') + "\r\n";
    }
    return text;
}

TEST(IniFileKillTest, KilledSavesLeaveTheOldOrTheNewFile) {
    test::TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delay_us(0, 20000);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveForEver(path);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(5000 + delay_us(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving process stopped by itself: " << status;
        const std::string text = ReadFile(path);
        if (text.empty()) {
            continue;  // killed before the first save finished: still no file, also whole
        }
        EXPECT_TRUE(text == Version(true) || text == Version(false))
            << "round " << round << ": a damaged file of " << text.size() << " bytes";
    }
}

}  // namespace
}  // namespace quillet
