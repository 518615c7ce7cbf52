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

constexpr int kKeys = 30;

// The two versions differ in every value and in length: a mix is never taken for either.
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
        if (file.Load()) {
            _exit(2);
        }
        for (int key = 0; key < kKeys; ++key) {
            file.SetString("Quillet", "key" + std::to_string(key), Value(long_values));
        }
        if (file.Save()) {
            _exit(3);
        }
    }
}

TEST(IniFileKillTest, KilledSavesLeaveTheOldOrTheNewFile) {
    test::TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    test::WriteFile(path, Version(false));  // so that a missing or empty file is always damage
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
