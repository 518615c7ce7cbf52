// quillet-feed run as a real process against a control server in this test.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <chrono>
#include <string>

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
    OrderDispatcher dispatcher{[this](OrderEvent& event) {
                                   ++calls;
                                   if (auto* connect = std::get_if<Connect>(&event)) {
                                       connect->Answer = -1;
                                   }
                               },
                               [](std::function<void()> task) {
                                   QMetaObject::invokeMethod(QCoreApplication::instance(),
                                                             std::move(task), Qt::QueuedConnection);
                               }};
    ControlServer server{dispatcher};
};

TEST_F(QuilletFeedTest, PrintsEveryReplyAndExitsZeroOnlyWhenAllWereOk) {
    test::WriteFile(dir.Path("a.jsonl"),
                    "{\"event\":\"Connect\"}\r\n\n   \n"
                    "{\"event\":\"OrderCancelled\",\"OrderId\":\"1\"}");
    test::WriteFile(dir.Path("b.jsonl"), "{\"event\":\"QueryConnected\",\"Answer\":4}\n");
    FeedResult result =
        Feed({"--socket", QString::fromStdString(path), QString::fromStdString(dir.Path("a.jsonl")),
              QString::fromStdString(dir.Path("b.jsonl"))});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"ok\":true,\"Answer\":-1}\n{\"ok\":true}\n{\"ok\":true,\"Answer\":4}\n");
    // From standard input, the socket named by the variable; a refused line still lets the
    // rest go.
    result = Feed({}, "{\"event\":\"Nope\"}\n{\"event\":\"Disconnect\"}\n", path);
    EXPECT_EQ(result.exit_code, 1) << result.err;
    EXPECT_EQ(result.out,
              "{\"ok\":false,\"error\":\"unknown event \\\"Nope\\\"\"}\n"
              "{\"ok\":true}\n");
    EXPECT_EQ(calls, 4);
}

TEST_F(QuilletFeedTest, ExitsTwoWhenItCannotReachQuilletOrReadAFile) {
    const std::string nowhere = dir.Path("nobody.sock");
    FeedResult result =
        Feed({"--socket", QString::fromStdString(nowhere)}, "{\"event\":\"Disconnect\"}\n");
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find(nowhere), std::string::npos) << result.err;
    test::WriteFile(dir.Path("a.jsonl"), "{\"event\":\"Disconnect\"}\n");
    result =
        Feed({"--socket", QString::fromStdString(path), QString::fromStdString(dir.Path("a.jsonl")),
              QString::fromStdString(dir.Path("missing.jsonl"))});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find("missing.jsonl"), std::string::npos) << result.err;
    EXPECT_EQ(calls, 0);  // nothing was sent
}

}  // namespace
}  // namespace quillet
