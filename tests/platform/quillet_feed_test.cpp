// quillet-feed run as a real process against a control server in this test.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <chrono>
#include <string>
#include <thread>

#include "platform/control/control_server.h"
#include "platform/control_test_support.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using test::RunEventLoopUntil;

struct FeedResult {
    int exit_code = -1;  // -1: it did not end in time
    std::string out;
    std::string err;
};

class QuilletFeedTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(server.Start({path, {}}), ""); }

    // Runs quillet-feed with `arguments` and `input` on its standard input, while the event
    // loop serves it. QUILLET_SOCKET points at `socket_variable` (unset when empty).
    FeedResult Feed(const QStringList& arguments, const std::string& input = {},
                    const std::string& socket_variable = {}) {
        QProcess feed;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QUILLET_SOCKET");
        environment.remove("XDG_RUNTIME_DIR");
        if (!socket_variable.empty()) {
            environment.insert("QUILLET_SOCKET", QString::fromStdString(socket_variable));
        }
        feed.setProcessEnvironment(environment);
        feed.start(QStringLiteral(QUILLET_FEED_PATH), arguments);
        feed.write(input.data(), static_cast<qint64>(input.size()));
        feed.closeWriteChannel();
        FeedResult result;
        if (!RunEventLoopUntil([&] { return feed.state() == QProcess::NotRunning; }, 30s)) {
            feed.kill();
            feed.waitForFinished(5000);
            return result;
        }
        result.out = feed.readAllStandardOutput().toStdString();
        result.err = feed.readAllStandardError().toStdString();
        result.exit_code = feed.exitStatus() == QProcess::NormalExit ? feed.exitCode() : -2;
        return result;
    }

    test::TestApplication app;
    test::TempDir dir;
    std::string path = dir.Path("q.sock");
    int calls = 0;
    ControlServer server{[this](OrderEvent& event) {
        ++calls;
        if (auto* connect = std::get_if<Connect>(&event)) {
            connect->Answer = -1;
        }
    }};
};

TEST_F(QuilletFeedTest, PrintsEveryReplyAndExitsZeroWhenAllWereOk) {
    test::WriteFile(dir.Path("a.jsonl"),
                    "{\"event\":\"Connect\"}\r\n\n   \n"
                    "{\"event\":\"OrderCancelled\",\"OrderId\":\"1\"}");
    test::WriteFile(dir.Path("b.jsonl"), "{\"event\":\"QueryConnected\",\"Answer\":4}\n");
    const FeedResult result =
        Feed({"--socket", QString::fromStdString(path), QString::fromStdString(dir.Path("a.jsonl")),
              QString::fromStdString(dir.Path("b.jsonl"))});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"ok\":true,\"Answer\":-1}\n{\"ok\":true}\n{\"ok\":true,\"Answer\":4}\n");
    EXPECT_EQ(calls, 3);
}

TEST_F(QuilletFeedTest, ReadsStandardInputAndFindsTheSocketThroughTheVariable) {
    const FeedResult result = Feed({}, "{\"event\":\"Disconnect\"}\n", path);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, "{\"ok\":true}\n");
    EXPECT_EQ(calls, 1);
}

TEST_F(QuilletFeedTest, ExitsOneWhenAnyReplyWasNotOkAndStillSendsTheRest) {
    const FeedResult result = Feed({"--socket=" + QString::fromStdString(path)},
                                   "{\"event\":\"Nope\"}\n{\"event\":\"Disconnect\"}\n");
    EXPECT_EQ(result.exit_code, 1) << result.err;
    EXPECT_EQ(result.out,
              "{\"ok\":false,\"error\":\"unknown event \\\"Nope\\\"\"}\n"
              "{\"ok\":true}\n");
    EXPECT_EQ(calls, 1);
}

TEST_F(QuilletFeedTest, ExitsTwoWhenNothingListens) {
    const std::string nowhere = dir.Path("nobody.sock");
    const FeedResult result =
        Feed({"--socket", QString::fromStdString(nowhere)}, "{\"event\":\"Disconnect\"}\n");
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find(nowhere), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}

TEST_F(QuilletFeedTest, ExitsTwoForAMissingFileBeforeSendingAnything) {
    test::WriteFile(dir.Path("a.jsonl"), "{\"event\":\"Disconnect\"}\n");
    const FeedResult result =
        Feed({"--socket", QString::fromStdString(path), QString::fromStdString(dir.Path("a.jsonl")),
              QString::fromStdString(dir.Path("missing.jsonl"))});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find("missing.jsonl"), std::string::npos) << result.err;
    EXPECT_EQ(calls, 0);
}

TEST_F(QuilletFeedTest, ExitsTwoWhenTheConnectionBreaksBeforeTheReply) {
    // A server that takes one line and hangs up without answering.
    const std::string rude = dir.Path("rude.sock");
    const UniqueFd listener(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = *UnixSocketAddress(rude);
    ASSERT_EQ(bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)),
              0);
    ASSERT_EQ(listen(listener.get(), 1), 0);
    std::thread hang_up([&] {
        pollfd waiting{listener.get(), POLLIN, 0};
        if (poll(&waiting, 1, 20000) != 1) {
            return;
        }
        const UniqueFd peer(accept(listener.get(), nullptr, nullptr));
        char c = 0;
        while (recv(peer.get(), &c, 1, 0) == 1 && c != '\n') {
        }
    });
    const FeedResult result = Feed({"--socket", QString::fromStdString(rude)},
                                   "{\"event\":\"Disconnect\"}\n{\"event\":\"Disconnect\"}\n");
    hang_up.join();
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find("connection broke"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace quillet
