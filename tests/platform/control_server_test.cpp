#include "platform/control/control_server.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/control_protocol.h"
#include "platform/control_test_support.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::LineClient;
using test::RunEventLoopUntil;

// Sets the umask for one scope.
class UmaskScope {
  public:
    explicit UmaskScope(mode_t mask) : previous_(umask(mask)) {}
    ~UmaskScope() { umask(previous_); }
    UmaskScope(const UmaskScope&) = delete;
    UmaskScope& operator=(const UmaskScope&) = delete;

  private:
    mode_t previous_;
};

std::string Query(int answer) {
    return R"({"event":"QueryConnected","Answer":)" + std::to_string(answer) + "}\n";
}
std::string QueryReply(int answer) {
    return R"({"ok":true,"Answer":)" + std::to_string(answer) + "}";
}
bool IsError(const std::optional<std::string>& reply) {
    return reply && reply->rfind(R"({"ok":false,"error":)", 0) == 0;
}
mode_t ModeOf(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}
bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

class ControlServerTest : public testing::Test {
  protected:
    std::unique_ptr<ControlServer> MakeServer() {
        return std::make_unique<ControlServer>([this](OrderEvent& event) {
            ++calls;
            max_depth = std::max(max_depth, ++depth);
            on_event(event);
            --depth;
        });
    }
    void Start() { ASSERT_EQ(server->Start({path, {}}), ""); }

    // Runs `client(i)` for i in 0..count-1, each on its own thread, while the event loop
    // serves them.
    void RunClients(int count, const std::function<void(int)>& client) {
        std::atomic<int> done{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([&, i] {
                client(i);
                ++done;
            });
        }
        EXPECT_TRUE(RunEventLoopUntil([&] { return done == count; }, 60s));
        for (std::thread& thread : threads) {
            thread.join();
        }
    }

    test::TestApplication app;
    test::TempDir dir;
    std::string path = dir.Path("q.sock");
    std::function<void(OrderEvent&)> on_event = [](OrderEvent&) {};
    int calls = 0;
    int depth = 0;
    int max_depth = 0;
    std::unique_ptr<ControlServer> server = MakeServer();
};

TEST_F(ControlServerTest, AnswersEachLineInOrderOnlyAfterItsHandlerReturned) {
    Start();
    std::atomic<int> returned{0};
    on_event = [&](OrderEvent& event) {
        std::this_thread::sleep_for(20ms);  // a reply sent early would overtake this
        if (auto* connect = std::get_if<Connect>(&event)) {
            connect->Answer = -1;
        }
        ++returned;
    };
    RunClients(1, [&](int) {
        LineClient client(path);
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.Write(Query(7) +
                                 R"({"event":"Connect","Text1":"a"})"
                                 "\r\n" +
                                 "nonsense\n" + R"({"event":"OrderCancelled","OrderId":"9"})" +
                                 "\n"));
        EXPECT_EQ(client.ReadLine(), QueryReply(7));
        EXPECT_GE(returned, 1);
        EXPECT_EQ(client.ReadLine(), QueryReply(-1));
        EXPECT_GE(returned, 2);
        EXPECT_TRUE(IsError(client.ReadLine()));
        EXPECT_EQ(client.ReadLine(), R"({"ok":true})");
        EXPECT_EQ(returned, 3);
    });
    EXPECT_EQ(calls, 3);
}

TEST_F(ControlServerTest, ServesManyClientsAtOnceOneEventAtATime) {
    Start();
    constexpr int kClients = 20;
    constexpr int kLines = 50;
    RunClients(kClients, [&](int c) {
        LineClient client(path);
        ASSERT_TRUE(client.connected());
        std::string lines;
        for (int i = 0; i < kLines; ++i) {
            lines += Query(c * 1000 + i);
        }
        ASSERT_TRUE(client.Write(lines));
        for (int i = 0; i < kLines; ++i) {
            ASSERT_EQ(client.ReadLine(), QueryReply(c * 1000 + i)) << "client " << c;
        }
    });
    EXPECT_EQ(calls, kClients * kLines);
    EXPECT_EQ(max_depth, 1);
}

TEST_F(ControlServerTest, HandlerInANestedEventLoopIsNotEnteredAgain) {
    Start();
    std::vector<int> order;
    on_event = [&](OrderEvent& event) {
        order.push_back(std::get<QueryConnected>(event).Answer);
        if (calls == 1) {  // a modal dialog, as it were
            QEventLoop loop;
            QTimer::singleShot(300ms, &loop, &QEventLoop::quit);
            loop.exec();
        }
    };
    RunClients(5, [&](int c) {
        LineClient client(path);
        ASSERT_TRUE(client.connected());
        for (int i = 0; i < 10; ++i) {
            ASSERT_TRUE(client.Write(Query(c * 100 + i)));
        }
        for (int i = 0; i < 10; ++i) {
            ASSERT_EQ(client.ReadLine(), QueryReply(c * 100 + i));
        }
    });
    EXPECT_EQ(calls, 50);
    EXPECT_EQ(max_depth, 1);
    for (int c = 0; c < 5; ++c) {  // each client's events in its own order
        std::vector<int> mine;
        std::copy_if(order.begin(), order.end(), std::back_inserter(mine),
                     [c](int answer) { return answer / 100 == c; });
        EXPECT_TRUE(std::is_sorted(mine.begin(), mine.end())) << "client " << c;
        EXPECT_EQ(mine.size(), 10u);
    }
}

TEST_F(ControlServerTest, RefusedLinesGetAnErrorAndNeverReachTheHandler) {
    Start();
    RunClients(1, [&](int) {
        LineClient client(path);
        ASSERT_TRUE(client.connected());
        for (const char* line :
             {"nope", "", "[1]", R"({"event":"Foo"})", R"({"event":"OrderCancelled"})",
              R"({"event":"OrderCancelled","OrderId":1})",
              "{\"event\":\"OrderCancelled\",\"OrderId\":\"\xff\"}"}) {
            ASSERT_TRUE(client.Write(std::string(line) + "\n"));
            const std::optional<std::string> reply = client.ReadLine();
            EXPECT_TRUE(IsError(reply)) << line << " -> " << reply.value_or("(nothing)");
        }
        ASSERT_TRUE(client.Write(R"({"event":"Disconnect"})"
                                 "\n"));
        EXPECT_EQ(client.ReadLine(), R"({"ok":true})");  // the connection stayed open
    });
    EXPECT_EQ(calls, 1);
}

TEST_F(ControlServerTest, LineOverTheLimitIsAnsweredWithAnErrorThenTheConnectionCloses) {
    Start();
    const std::string prefix = R"({"event":"OrderCancelled","OrderId":")";
    const std::string longest =
        prefix + std::string(kMaxControlLineBytes - prefix.size() - 2, 'x') + "\"}";
    ASSERT_EQ(longest.size(), kMaxControlLineBytes);
    RunClients(1, [&](int) {
        LineClient client(path);
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.Write(longest + "\r\n"));  // at the limit: a request like any other
        EXPECT_EQ(client.ReadLine(), R"({"ok":true})");
        ASSERT_TRUE(client.Write(std::string(kMaxControlLineBytes + 1, 'x') + "\n" + Query(1)));
        const std::optional<std::string> reply = client.ReadLine();
        EXPECT_TRUE(IsError(reply));
        EXPECT_NE(reply.value_or("").find("longer than 65536 bytes"), std::string::npos);
        EXPECT_TRUE(client.ReadsEnd());  // the query after it is never answered
    });
    RunClients(1, [&](int) {  // no line end at all
        LineClient client(path);
        ASSERT_TRUE(client.connected());
        client.Write(Query(2) + std::string(100000, 'y'));  // may fail once the server closes
        EXPECT_EQ(client.ReadLine(), QueryReply(2));
        EXPECT_TRUE(IsError(client.ReadLine()));
        EXPECT_TRUE(client.ReadsEnd());
    });
    EXPECT_EQ(calls, 2);
}

TEST_F(ControlServerTest, ClientsThatLeaveEarlyAreDroppedQuietly) {
    Start();
    on_event = [](OrderEvent&) { std::this_thread::sleep_for(50ms); };
    RunClients(3, [&](int) {
        LineClient client(path);
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.Write(Query(1) + R"({"event":"Disc)"));
        client.Close();  // before the reply: its write fails, quietly
    });
    ASSERT_TRUE(RunEventLoopUntil([&] { return calls == 3; }));
    RunClients(1, [&](int) {
        LineClient client(path);
        ASSERT_TRUE(client.Write(Query(5)));
        EXPECT_EQ(client.ReadLine(), QueryReply(5));
    });
    EXPECT_EQ(calls, 4);
}

TEST_F(ControlServerTest, ShutdownIsAnsweredBeforeItsHandlerRuns) {
    Start();
    std::atomic<bool> reply_read{false};
    bool reply_came_first = false;
    on_event = [&](OrderEvent& event) {
        ASSERT_TRUE(std::holds_alternative<Shutdown>(event));
        // The event loop does not run here, so only a reply already written can arrive.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!reply_read && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        reply_came_first = reply_read;
    };
    RunClients(1, [&](int) {
        LineClient client(path);
        ASSERT_TRUE(client.Write(R"({"event":"Shutdown"})"
                                 "\n"));
        EXPECT_EQ(client.ReadLine(), R"({"ok":true})");
        reply_read = true;
    });
    ASSERT_TRUE(RunEventLoopUntil([&] { return calls == 1; }));
    EXPECT_TRUE(reply_came_first);
}

TEST_F(ControlServerTest, HandlerMayDestroyTheServer) {
    Start();
    on_event = [&](OrderEvent&) { server.reset(); };
    RunClients(1, [&](int) {
        LineClient client(path);
        ASSERT_TRUE(client.Write(Query(1) + Query(2)));
        EXPECT_TRUE(client.ReadsEnd());
    });
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(Exists(path));
}

TEST_F(ControlServerTest, StaleSocketIsReplaced) {
    {
        const UniqueFd stale(socket(AF_UNIX, SOCK_STREAM, 0));
        const sockaddr_un address = *UnixSocketAddress(path);
        ASSERT_EQ(bind(stale.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)),
                  0);
    }  // closed without removing the file: nobody listens there
    ASSERT_TRUE(Exists(path));
    Start();
    RunClients(1, [&](int) {
        LineClient client(path);
        ASSERT_TRUE(client.Write(Query(3)));
        EXPECT_EQ(client.ReadLine(), QueryReply(3));
    });
}

TEST_F(ControlServerTest, SecondServerOnTheSamePathIsRefusedAndTheFirstCarriesOn) {
    Start();
    std::unique_ptr<ControlServer> second = MakeServer();
    const std::string error = second->Start({path, {}});
    EXPECT_NE(error.find("another Quillet is already running (socket " + path + ")"),
              std::string::npos)
        << error;
    second.reset();
    EXPECT_EQ(server->Start({path, {}}), "the control server already listens at " + path);
    RunClients(1, [&](int) {
        LineClient client(path);
        ASSERT_TRUE(client.Write(Query(4)));
        EXPECT_EQ(client.ReadLine(), QueryReply(4));
    });
    server.reset();
    EXPECT_FALSE(Exists(path));
}

TEST_F(ControlServerTest, LeavesANewerSocketAtItsPathAlone) {
    Start();
    ASSERT_EQ(unlink(path.c_str()), 0);
    std::unique_ptr<ControlServer> newer = MakeServer();
    ASSERT_EQ(newer->Start({path, {}}), "");
    server.reset();
    EXPECT_TRUE(Exists(path));
    newer.reset();
    EXPECT_FALSE(Exists(path));
}

TEST_F(ControlServerTest, SomethingElseAtThePathIsNeitherRemovedNorUsed) {
    test::WriteFile(path, "keep me");
    const std::string error = server->Start({path, {}});
    EXPECT_NE(error.find("is not a socket"), std::string::npos) << error;
    EXPECT_EQ(test::ReadFile(path), "keep me");
}

TEST_F(ControlServerTest, SocketIsTheUsersAloneWhateverTheUmask) {
    const UmaskScope open_umask(0);
    Start();
    EXPECT_EQ(ModeOf(path), 0600u);
}

TEST_F(ControlServerTest, PrivateFolderIsMadeWithMode0700) {
    const UmaskScope narrow_umask(0277);  // would leave the owner without write and search
    const std::string folder = dir.Path("private");
    ASSERT_EQ(server->Start({folder + "/quillet.sock", folder}), "");
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(folder + "/quillet.sock"), 0600u);
    server.reset();  // and a second start reuses the folder
    server = MakeServer();
    EXPECT_EQ(server->Start({folder + "/quillet.sock", folder}), "");
}

struct FolderCase {
    const char* name;
    std::function<void(const std::string& folder, const std::string& scratch)> make;
    const char* error_part;
};

TEST_F(ControlServerTest, FolderThatIsNotTheUsersAloneIsRefused) {
    const FolderCase cases[] = {
        {"open mode",
         [](const std::string& folder, const std::string&) {
             std::filesystem::create_directory(folder);
             chmod(folder.c_str(), 0755);
         },
         "has mode 0755, not 0700"},
        {"group-readable",
         [](const std::string& folder, const std::string&) {
             std::filesystem::create_directory(folder);
             chmod(folder.c_str(), 0740);
         },
         "has mode 0740"},
        {"symbolic link to a private folder",
         [](const std::string& folder, const std::string& scratch) {
             std::filesystem::create_directory(scratch);
             chmod(scratch.c_str(), 0700);
             std::filesystem::create_directory_symlink(scratch, folder);
         },
         "is not a folder"},
        {"plain file",
         [](const std::string& folder, const std::string&) { test::WriteFile(folder, "x"); },
         "is not a folder"},
    };
    int i = 0;
    for (const FolderCase& c : cases) {
        const std::string folder = dir.Path("f" + std::to_string(i));
        const std::string scratch = dir.Path("s" + std::to_string(i++));
        c.make(folder, scratch);
        const std::string error = server->Start({folder + "/quillet.sock", folder});
        EXPECT_NE(error.find(c.error_part), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find(folder), std::string::npos) << c.name << ": " << error;
        EXPECT_FALSE(Exists(scratch + "/quillet.sock")) << c.name;
        EXPECT_FALSE(Exists(folder + "/quillet.sock")) << c.name;
    }
}

}  // namespace
}  // namespace quillet
