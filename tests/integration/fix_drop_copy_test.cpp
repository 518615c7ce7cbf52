// The FIX drop copy end to end: the real program logs on to a QuickFIX acceptor of ours on
// 127.0.0.1 and mails its reports to a real SMTP server, through a logout and a restart.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/fix/handled_exec_ids.h"
#include "platform/unique_fd.h"
#include "support/base64.h"
#include "support/smtp_test_server.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::TempDir;
using test::WriteFile;

int FreePort() {
    UniqueFd probe(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(probe.get(), reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

std::string Stored(const std::string& key, const std::string& value) {
    return Base64EncodeForINI(key) + "=" + Base64EncodeForINI(value) + "\r\n";
}

std::string Sessions(const std::string& common, const std::string& session) {
    return "[DEFAULT]\nStartTime=00:00:00\nEndTime=00:00:00\nBeginString=FIX.4.4\n" + common +
           "[SESSION]\n" + session;
}

class DropCopy : public testing::Test {
  protected:
    void SetUp() override {
        const std::string port = std::to_string(FreePort());
        std::filesystem::copy_file(QUILLET_PATH, dir_.Path("quillet"));
        std::filesystem::copy_file(FIX44_PATH, dir_.Path("FIX44.xml"));
        WriteFile(dir_.Path("quillet.ini"), "[Quillet]\r\n" + Stored("txtDisplayName", "Desk") +
                                                Stored("txtEmail", "desk@example.com") +
                                                Stored("txtSMTPserver", "127.0.0.1") +
                                                Stored("txtPort", std::to_string(smtp_.port())) +
                                                Stored("lstSendTo.ListCount", "1") +
                                                Stored("File1", "me@example.org"));
        WriteFile(dir_.Path("quillet-fix.cfg"),
                  Sessions("ConnectionType=initiator\nHeartBtInt=30\nReconnectInterval=1\n",
                           "SenderCompID=QUILLET\nTargetCompID=BROKER\n"
                           "SocketConnectHost=127.0.0.1\nSocketConnectPort=" +
                               port + "\n"));
        WriteFile(dir_.Path("broker.cfg"),
                  Sessions("ConnectionType=acceptor\nSocketAcceptPort=" + port +
                               "\nFileStorePath=" + dir_.Path("broker") + "\nFileLogPath=" +
                               dir_.Path("broker") + "\nDataDictionary=" FIX44_PATH "\n",
                           "SenderCompID=BROKER\nTargetCompID=QUILLET\n"));
        broker_.start(FIX_COUNTERPARTY_PATH, {QString::fromStdString(dir_.Path("broker.cfg"))});
        ASSERT_TRUE(Heard("listening"));
    }
    void TearDown() override {
        broker_.closeWriteChannel();
        broker_.waitForFinished(5000);
    }

    // Starts the program, with `wait` (ms) for QUILLET_FIX_HANDLING_WAIT_MS when given.
    void StartQuillet(const QString& wait = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!wait.isEmpty()) {
            environment.insert("QUILLET_FIX_HANDLING_WAIT_MS", wait);
        }
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("QUILLET_SOCKET", QString::fromStdString(dir_.Path("q.sock")));
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        quillet_.setProcessEnvironment(environment);
        quillet_.start(QString::fromStdString(dir_.Path("quillet")), {});
        ASSERT_TRUE(quillet_.waitForStarted(10000));
    }
    void StopQuillet() {
        ASSERT_EQ(Feed("{\"event\":\"Shutdown\"}\n"), "{\"ok\":true}\n");
        ASSERT_TRUE(quillet_.waitForFinished(15000));
        EXPECT_EQ(quillet_.exitCode(), 0) << quillet_.readAllStandardError().toStdString();
    }
    std::string Feed(const std::string& lines) {
        QProcess feed;
        feed.setProcessEnvironment(quillet_.processEnvironment());
        feed.start(QUILLET_FEED_PATH, {});
        feed.write(lines.data(), static_cast<qint64>(lines.size()));
        feed.closeWriteChannel();
        feed.waitForFinished(30000);
        return feed.readAllStandardOutput().toStdString();
    }
    bool StatusHas(const std::string& part) {
        return QTest::qWaitFor(
            [&] { return Feed("{\"event\":\"Status\"}\n").find(part) != std::string::npos; },
            15000);
    }
    // Waits for the counterparty to print `what`.
    bool Heard(const std::string& what) {
        return QTest::qWaitFor(
            [&] {
                while (broker_.canReadLine()) {
                    if (broker_.readLine().trimmed().toStdString() == what) {
                        return true;
                    }
                }
                broker_.waitForReadyRead(50);
                return false;
            },
            15000);
    }
    void Tell(const std::string& command) {
        broker_.write((command + "\n").c_str());
        broker_.waitForBytesWritten(1000);
    }
    // The bodies of the mails that arrived, once there are `count`.
    std::vector<std::string> Mails(size_t count) {
        static_cast<void>(QTest::qWaitFor([&] { return smtp_.Received().size() >= count; }, 15000));
        QTest::qWait(300);  // time for one too many to show
        std::vector<std::string> bodies;
        for (const auto& mail : smtp_.Received()) {
            bodies.push_back(mail.content.substr(mail.content.find("\r\n\r\n") + 4));
        }
        return bodies;
    }

    test::SmtpTestServer smtp_{{}};
    TempDir dir_;
    QProcess broker_;
    QProcess quillet_;
};

TEST_F(DropCopy, ReportsBecomeLinesAndMailsOnceThroughLogoutsAndRestarts) {
    StartQuillet();
    ASSERT_TRUE(Heard("logon"));
    ASSERT_TRUE(StatusHas("\"Connected\":true,")) << Feed("{\"event\":\"Status\"}\n");
    EXPECT_TRUE(StatusHas("\"FIX\":\"logged on\""));
    Tell("report 0 E1 77 1 2 100 12.5 0");  // New, buy, limit
    Tell("report 5 E2 77 1 4 100 12 11");   // Replaced: stop 11, limit 12
    Tell("report F E3 77 1 4 100 12 11");   // a fill without LastQty: no line
    Tell("report 4 E4 77 1 4 100 12 11");   // Canceled
    const std::vector<std::string> expected = {
        "ACC1 - XNAS - drop copy - Buy 100 share(s) of XYZ. Limit order with Limit "
        "price=12.5  (OrderId=77)\r\n",
        "Modify Order: Orderid=77  New Stop Price = 11   New Limit Price = 12\r\n",
        "Cancel Order: Orderid=77\r\n"};
    EXPECT_EQ(Mails(3), expected);

    // Sent again as possible duplicates: nothing new. Logged out, then on again.
    Tell("report 0 E1 77 1 2 100 12.5 0 dup");
    Tell("report 5 E2 77 1 4 100 12 11 dup");
    Tell("logout");
    ASSERT_TRUE(Heard("logout"));
    EXPECT_TRUE(StatusHas("\"Connected\":false,"));
    EXPECT_TRUE(StatusHas("\"FIX\":\"connecting\""));
    Tell("logon");
    ASSERT_TRUE(Heard("logon"));
    EXPECT_TRUE(StatusHas("\"Connected\":true,"));
    EXPECT_EQ(Mails(3).size(), 3u);

    // While Quillet is away a report waits in the counterparty's store; after the restart its
    // sequence numbers go on, the waiting report comes as a resend, and old ones stay handled.
    StopQuillet();
    ASSERT_TRUE(Heard("logout"));
    Tell("report 4 E5 78 2 1 5 0 0");
    StartQuillet();
    ASSERT_TRUE(Heard("logon"));
    Tell("report 4 E4 77 1 4 100 12 11 dup");
    Tell("report 0 E6 79 5 1 5 0 0");  // a short sell at market
    const std::vector<std::string> after = Mails(5);
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[3], "Cancel Order: Orderid=78\r\n");
    EXPECT_EQ(after[4],
              "ACC1 - XNAS - drop copy - Sell 5 share(s) of XYZ at Market price  (OrderId=79)\r\n");
    StopQuillet();
}

// A fill, a rejection and an expiry, from the counterparty and from the socket, make their lines
// and mails under their orders' subjects, quantities as given; a report that cannot make a line
// is noted in the journal with why and said on standard error, once however often it comes.
TEST_F(DropCopy, FillsRejectionsAndExpiriesAreMailedAndAReportWithoutALineIsTold) {
    StartQuillet();
    ASSERT_TRUE(Heard("logon"));
    Tell("report F E1 77 1 2 100 12.5 0 32=40.5 31=12.25 14=40.5 151=59.50");
    Tell("report 8 E2 78 2 2 10 12.5 0 58=margin 103=3");
    Tell("report C E3 79 1 2 100 12.5 0");
    Tell("report 0 E4 80 1 2 1.5 12.5 0");  // a fraction where a whole number must be
    const std::string fill = "report F E5 81 1 2 10 1 0 32=1 31=1 14=1 151=0 58=*5000";
    Tell(fill);  // a text too long to show, sent again
    Tell(fill + " dup");
    Tell("report A E6 82 1 2 10 1 0");  // pending new: noted, told to no one
    ASSERT_EQ(Mails(3).size(), 3u);
    const std::string replies =
        Feed(R"({"event":"OrderFilled","OrderId":"90","Side":2,"Symbol":"XYZ",)"
             R"("Quantity":0.25,"FilledQuantity":1.25,"LeavesQuantity":0,"FillPrice":3,)"
             R"("Info4":"B","Info5":"C","Info6":"A"})"
             "\n"
             R"({"event":"OrderRejected","OrderId":"91","Reason":"halted"})"
             "\n"
             R"({"event":"OrderExpired","OrderId":"92"})"
             "\n");
    EXPECT_EQ(std::ranges::count(replies, '\n'), 3) << replies;
    EXPECT_EQ(replies.find("\"ok\":false"), std::string::npos) << replies;
    const std::vector<std::string> expected = {
        "ACC1 - XNAS - drop copy - Filled: Buy 40.5 of 100.00 share(s) of XYZ at 12.25; 59.50 "
        "left  (OrderId=77)\r\n",
        "ACC1 - XNAS -  - Rejected: Sell 10 share(s) of XYZ: margin (Order exceeds limit)  "
        "(OrderId=78)\r\n",
        "Expired Order: Orderid=79\r\n",
        "A - B - C - Filled: Sell 0.25 of 1.25 share(s) of XYZ at 3; 0 left  (OrderId=90)\r\n",
        " -  -  - Rejected: halted  (OrderId=91)\r\n",
        "Expired Order: Orderid=92\r\n"};
    EXPECT_EQ(Mails(6), expected);
    std::vector<std::string> subjects;
    for (const auto& mail : smtp_.Received()) {
        const size_t at = mail.content.find("\r\nSubject: ") + 11;
        subjects.push_back(mail.content.substr(at, mail.content.find("\r\n", at) - at));
    }
    EXPECT_EQ(subjects,
              (std::vector<std::string>{"CVT order # 77", "CVT order # 78", "CVT order # 79",
                                        "CVT order # 90", "CVT order # 91", "CVT order # 92"}));
    StopQuillet();
    const std::string said = quillet_.readAllStandardError().toStdString();
    const std::string bad_quantity =
        "makes no order line: OrderQty is not a whole number within 32 bits: 1.5";
    EXPECT_NE(said.find("quillet: a FIX report of order 80 (ExecID E4) " + bad_quantity),
              std::string::npos)
        << said;
    const std::string too_long = "field \"Info5\" is longer than 4096 characters";
    EXPECT_NE(said.find(too_long), std::string::npos) << said;
    EXPECT_EQ(said.find(too_long), said.rfind(too_long)) << said;  // the resend is told no more
    EXPECT_EQ(said.find("Pending New"), std::string::npos) << said;
    QProcess history;
    history.setProcessEnvironment(quillet_.processEnvironment());
    history.start(QString::fromStdString(dir_.Path("quillet")), {"--history"});
    ASSERT_TRUE(history.waitForFinished(30000));
    const std::string rows = history.readAllStandardOutput().toStdString();
    EXPECT_NE(
        rows.find("Not listed or mailed: OrderQty is not a whole number within 32 bits: 1.5."),
        std::string::npos)
        << rows;
    EXPECT_NE(rows.find("ExecType A (Pending New) makes no order line"), std::string::npos) << rows;
}

// Where a kill lost a report's ExecID after the server took its mail (here: the ExecIDs' file
// removed), the report resent after the restart is mailed again under the first mail's
// Message-ID, so that mail programs see the copy; another report has one of its own.
TEST_F(DropCopy, AReportMailedAgainAfterItsExecIdWasLostCarriesTheFirstMessageId) {
    StartQuillet();
    ASSERT_TRUE(Heard("logon"));
    Tell("report 0 E1 77 1 2 100 12.5 0");
    ASSERT_EQ(Mails(1).size(), 1u);
    StopQuillet();
    ASSERT_TRUE(Heard("logout"));
    ASSERT_TRUE(std::filesystem::remove(dir_.Path("quillet-fix/FIX.4.4_QUILLET-_BROKER.exec-ids")));
    StartQuillet();
    ASSERT_TRUE(Heard("logon"));
    Tell("report 0 E1 77 1 2 100 12.5 0 dup");
    Tell("report 4 E2 77 1 2 100 12.5 0");
    ASSERT_EQ(Mails(3).size(), 3u);
    std::vector<std::string> ids;
    for (const auto& mail : smtp_.Received()) {
        const size_t at = mail.content.find("\r\nMessage-ID: ") + 14;
        ids.push_back(mail.content.substr(at, mail.content.find("\r\n", at) - at));
    }
    EXPECT_TRUE(ids[0].starts_with("<") && ids[0].ends_with("@example.com>")) << ids[0];
    EXPECT_EQ(ids[1], ids[0]);
    EXPECT_NE(ids[2], ids[0]);
    StopQuillet();
}

// A report sent again while the first is still being handled (its mail not yet safe; the
// engine reads on at once here) is mailed once.
TEST_F(DropCopy, AReportSentAgainWhileTheFirstIsHandledIsMailedOnce) {
    StartQuillet("0");
    ASSERT_TRUE(Heard("logon"));
    Tell("report 0 E1 77 1 2 100 12.5 0");
    Tell("report 0 E1 77 1 2 100 12.5 0 dup");
    EXPECT_EQ(Mails(1).size(), 1u);
    StopQuillet();
}

// A report that comes while Quillet ends is not counted as received: after the restart the
// counterparty sends it again, and it is mailed then.
TEST_F(DropCopy, AReportThatComesAsQuilletEndsIsMailedAfterTheRestart) {
    StartQuillet();
    ASSERT_TRUE(Heard("logon"));
    ASSERT_EQ(Feed("{\"event\":\"Shutdown\"}\n"), "{\"ok\":true}\n");
    Tell("report 4 E1 77 1 2 100 12.5 0");
    ASSERT_TRUE(quillet_.waitForFinished(15000));
    StartQuillet();
    ASSERT_TRUE(Heard("logon"));
    EXPECT_EQ(Mails(1), std::vector<std::string>{"Cancel Order: Orderid=77\r\n"});
    StopQuillet();
}

// Each logon starts the store anew, within the same session day: the day's ExecIDs stay handled.
TEST_F(DropCopy, AReportResentAfterALogonThatResetsTheStoreMailsOnce) {
    const std::string sessions = dir_.Path("quillet-fix.cfg");
    WriteFile(sessions, test::ReadFile(sessions) + "ResetOnLogon=Y\n");
    StartQuillet();
    ASSERT_TRUE(Heard("logon"));
    Tell("report 0 E1 77 1 2 100 12.5 0");
    ASSERT_EQ(Mails(1).size(), 1u);
    Tell("logout");
    ASSERT_TRUE(Heard("logout"));
    Tell("logon");
    ASSERT_TRUE(Heard("logon"));
    Tell("report 0 E1 77 1 2 100 12.5 0 dup");
    Tell("report 4 E2 77 1 2 100 12.5 0");
    const std::vector<std::string> mails = Mails(2);
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[1], "Cancel Order: Orderid=77\r\n");
    StopQuillet();
}

// ExecIDs of any bytes are kept across restarts, and a file written before they were escaped
// reads as it did.
TEST(HandledExecIdsTest, ExecIdsOfAnyByteSurviveARestartAndOldFilesStillRead) {
    TempDir dir;
    const std::string path = dir.Path("s.exec-ids");
    WriteFile(path, "day D\nE1\n");
    const auto same_day = [](const std::string& a, const std::string& b) { return a == b; };
    const std::string odd[] = {"E\n2", "E\r3",
                               "\x01"
                               "E4",
                               "E\\5",
                               std::string("E\0"
                                           "6",
                                           3)};
    {
        HandledExecIds ids(path, "D", same_day);
        EXPECT_TRUE(ids.Seen("D", "E1"));
        for (const std::string& id : odd) {
            EXPECT_FALSE(ids.Seen("D", id));
            EXPECT_EQ(ids.Add(id), std::nullopt);
        }
    }
    HandledExecIds again(path, "D", same_day);
    for (const std::string& id : odd) {
        EXPECT_TRUE(again.Seen("D", id)) << id;
    }
    EXPECT_TRUE(again.Seen("D", "E1"));
    EXPECT_FALSE(again.Seen("D", "E"));
    EXPECT_FALSE(again.Seen("D", "2"));
}

// A counterparty that sends junk without a message's start, or announces a message of 2 GB, is
// dropped once it passes the limit, with the reason said; Quillet then connects again.
TEST_F(DropCopy, ACounterpartyFloodingJunkOrAHugeMessageIsDropped) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), size), 0);
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size);
    ::listen(listener.get(), 4);
    WriteFile(dir_.Path("quillet-fix.cfg"),
              Sessions("ConnectionType=initiator\nHeartBtInt=30\nReconnectInterval=1\n",
                       "SenderCompID=QUILLET\nTargetCompID=BROKER\nSocketConnectHost=127.0.0.1\n"
                       "SocketConnectPort=" +
                           std::to_string(ntohs(address.sin_port)) + "\n"));
    StartQuillet();
    const std::string junk(64 * 1024, 'x');
    for (const std::string& start : {std::string(), std::string("8=FIX.4.4\x01"
                                                                "9=2000000000\x01")}) {
        pollfd waiting{listener.get(), POLLIN, 0};
        ASSERT_EQ(::poll(&waiting, 1, 15000), 1);
        const UniqueFd peer(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        const timeval wait{5, 0};
        ::setsockopt(peer.get(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        ::send(peer.get(), start.data(), start.size(), MSG_NOSIGNAL);
        size_t sent = 0;  // up to 32 MiB, until Quillet lets go
        while (sent < 32 * 1024 * 1024 &&
               ::send(peer.get(), junk.data(), junk.size(), MSG_NOSIGNAL) > 0) {
            sent += junk.size();
        }
        EXPECT_LT(sent, 16u * 1024 * 1024) << start;  // what the sockets' buffers hold
    }
    quillet_.kill();
    quillet_.waitForFinished();
    const std::string said = quillet_.readAllStandardError().toStdString();
    EXPECT_NE(
        said.find("FIX connection dropped: 1048577 bytes without the start of a message (8=), "
                  "over the limit of 1048576 bytes (MaxMessageSize in the FIX settings)"),
        std::string::npos)
        << said;
    EXPECT_NE(
        said.find("FIX connection dropped: a message whose BodyLength (9) is 2000000000 bytes"),
        std::string::npos)
        << said;
}

}  // namespace
}  // namespace quillet
