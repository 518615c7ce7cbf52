#include "platform/control/control_server.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

#include "app/wire/control_protocol.h"
#include "platform/control_test_support.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;

std::string Query(int answer) {
    return R"({"event":"QueryConnected","Answer":)" + std::to_string(answer) + "}\n";
}
std::string QueryReply(int answer) {
    return R"({"ok":true,"Answer":)" + std::to_string(answer) + "}";
}

// A QCoreApplication for the life of one test.
struct TestApplication {
    int argc = 1;
    char name[16] = "control_tests";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

// Runs the event loop until `done` holds, at most `limit`. Returns whether it holds.
bool RunEventLoopUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QEventLoop loop;
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || std::chrono::steady_clock::now() >= deadline) {
            loop.quit();
        }
    });
    check.start();
    if (!done()) {
        loop.exec();
    }
    return done();
}

// The permission bits of `path`; -1 when there is nothing there.
int ModeOf(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 ? static_cast<int>(status.st_mode & 07777) : -1;
}

class ControlServerTest : public testing::Test {
  protected:
    void Start() { ASSERT_EQ(server->Start({path, {}}), ""); }

    // Runs `client(i)` for i in 0..count-1, each on its own thread, while the loop serves them.
    void RunClients(int count, const std::function<void(int)>& client) {
        std::atomic<int> done{0};
        std::vector<std::jthread> threads;
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([&, i] {
                client(i);
                ++done;
            });
        }
        EXPECT_TRUE(RunEventLoopUntil([&] { return done == count; }, 60s));
    }

    TestApplication app;
    test::TempDir dir;
    std::string path = dir.Path("q.sock");
    std::function<void(const OrderEvent&)> on_event = [](const OrderEvent&) {};
    // Whether the reply to an event comes a moment after its handler, as an order's does.
    std::function<bool(const OrderEvent&)> finish_later = [](const OrderEvent&) { return false; };
    int calls = 0;
    OrderDispatcher dispatcher{
        [this](const OrderEvent& event, const EventOrigin&, const OrderDispatcher::Finish& finish) {
            ++calls;
            on_event(event);
            if (finish_later(event)) {
                QTimer::singleShot(2ms, QCoreApplication::instance(), [finish] { finish({}); });
            } else {
                finish({});
            }
        },
        [](std::function<void()> task) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task),
                                      Qt::QueuedConnection);
        }};
    std::optional<ControlServer> server{std::in_place, dispatcher};
};

// Each client's replies come in the order of its lines, whichever is finished first, an error
// too while the lines before it wait for their handlers.
TEST_F(ControlServerTest, ManyClientsOneEventAtATimeEvenAcrossANestedEventLoop) {
    Start();
    finish_later = [](const OrderEvent& event) {
        return std::get<QueryConnected>(event).Answer % 3 == 0;
    };
    constexpr int kClients = 10;
    constexpr int kLines = 20;
    std::vector<int> next(kClients, 0);  // each client's events come in its own order
    on_event = [&](const OrderEvent& event) {
        const int answer = std::get<QueryConnected>(event).Answer;
        EXPECT_EQ(answer % 100, next[answer / 100]++);
        if (calls == 1) {  // a modal dialog, as it were
            QEventLoop loop;
            QTimer::singleShot(300ms, &loop, &QEventLoop::quit);
            loop.exec();
            EXPECT_EQ(calls, 1);  // the other events waited
        }
    };
    RunClients(kClients, [&](int c) {
        test::LineClient client(path);
        std::string lines;
        for (int i = 0; i < kLines; ++i) {
            lines += Query(c * 100 + i);
        }
        ASSERT_TRUE(client.Write(lines + "nonsense\n"));
        for (int i = 0; i < kLines; ++i) {
            ASSERT_EQ(client.ReadLine(), QueryReply(c * 100 + i)) << "client " << c;
        }
        EXPECT_EQ(client.ReadLine().value_or("").rfind(R"({"ok":false,"error":)", 0), 0u);
    });
    EXPECT_EQ(calls, kClients * kLines);
}

TEST_F(ControlServerTest, LineOverTheLimitIsAnsweredWithAnErrorThenTheConnectionCloses) {
    Start();
    const std::string prefix = R"({"event":"OrderCancelled","OrderId":"1")";
    const std::string longest =
        prefix + std::string(kMaxControlLineBytes - prefix.size() - 1, ' ') + "}";
    RunClients(1, [&](int) {
        test::LineClient client(path);
        ASSERT_TRUE(client.Write(longest + "\r\n"));  // at the limit: a request like any other
        EXPECT_EQ(client.ReadLine(), R"({"ok":true})");
        ASSERT_TRUE(client.Write(std::string(kMaxControlLineBytes + 1, 'x') + "\n" + Query(1)));
        EXPECT_NE(client.ReadLine().value_or("").find("longer than 65536 bytes"),
                  std::string::npos);
        EXPECT_TRUE(client.ReadsEnd());  // the query after it is never answered
    });
}

// A client that never reads is read no further once its replies back up, yet gets all of them
// in order when it reads; one client over the limit is told so and closed, and a client's place
// is free again as soon as it has gone.
TEST_F(ControlServerTest, ClientsThatDoNotReadOrAreTooManyLeaveTheOthersAnswered) {
    Start();
    RunClients(1, [&](int) {
        test::LineClient silent(path);
        silent.LimitWrites(2);
        constexpr int kFlood = 400'000;  // 10 MB of replies unless the client is held back
        int sent = 0;
        while (sent < kFlood && silent.Write(Query(sent))) {
            ++sent;
        }
        EXPECT_LT(sent, kFlood);
        std::vector<std::unique_ptr<test::LineClient>> idle;
        while (idle.size() + 1 < kMaxControlConnections) {
            idle.push_back(std::make_unique<test::LineClient>(path));
        }
        test::LineClient over(path);
        EXPECT_EQ(over.ReadLine(), "{\"ok\":false,\"error\":\"too many connections (64)\"}");
        EXPECT_TRUE(over.ReadsEnd());
        idle.front().reset();  // its place is free at once
        idle.front() = std::make_unique<test::LineClient>(path);
        for (test::LineClient* client : {idle.front().get(), idle.back().get()}) {
            ASSERT_TRUE(client->Write(Query(7)));
            EXPECT_EQ(client->ReadLine(), QueryReply(7));
        }
        for (int i = 0; i < sent; ++i) {
            ASSERT_EQ(silent.ReadLine(), QueryReply(i));
        }
    });
}

TEST_F(ControlServerTest, TheSocketAndItsFolderAreTheUsersAlone) {
    const mode_t old_umask = umask(0);
    Start();
    umask(old_umask);
    EXPECT_EQ(ModeOf(path), 0600);
    // A newer socket at the path is left alone (that our own goes with us, ProgramTest shows).
    ASSERT_EQ(unlink(path.c_str()), 0);
    ControlServer newer(dispatcher);
    ASSERT_EQ(newer.Start({path, {}}), "");
    server.reset();
    EXPECT_NE(ModeOf(path), -1);

    const std::string folder = dir.Path("private");
    EXPECT_EQ(ControlServer(dispatcher).Start({folder + "/quillet.sock", folder}), "");
    EXPECT_EQ(ModeOf(folder), 0700);
    const std::string open = dir.Path("open");
    std::filesystem::create_directory(open);
    chmod(open.c_str(), 0740);
    const std::string refused = ControlServer(dispatcher).Start({open + "/quillet.sock", open});
    EXPECT_NE(refused.find("has mode 0740, not 0700"), std::string::npos) << refused;
    EXPECT_EQ(ModeOf(open + "/quillet.sock"), -1);
}

TEST(LocateControlSocketTest, FollowsTheVariablesThenTheUsersOwnFolder) {
    const std::tuple<ControlSocketEnvironment, std::string, std::string> cases[] = {
        {{"/x/q.sock", "/run/user/5", 5}, "/x/q.sock", ""},
        {{"rel.sock", "", 5}, "rel.sock", ""},
        {{"", "/run/user/5", 5}, "/run/user/5/quillet.sock", ""},
        {{"", "/run/user/5/", 5}, "/run/user/5/quillet.sock", ""},
        {{"", "relative/dir", 1000}, "/tmp/quillet-1000/quillet.sock", "/tmp/quillet-1000"},
        {{"", "", 0}, "/tmp/quillet-0/quillet.sock", "/tmp/quillet-0"},
    };
    for (const auto& [environment, path, private_folder] : cases) {
        const ControlSocketLocation location = LocateControlSocket(environment);
        EXPECT_EQ(location.path, path);
        EXPECT_EQ(location.private_folder, private_folder) << path;
    }
}

}  // namespace
}  // namespace quillet
