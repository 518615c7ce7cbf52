// The desktop's notifications over a private session bus (dbus-run-session), against a
// notification service of the test's own that writes down each notice and clicks on them.
#include "platform/notify/desktop_notifier.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QtTest/QTest>
#include <mutex>

namespace quillet {
namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// Each notice's id is its place among the calls, from 1. Answers nothing else, so the notifier
// takes it for one that reads markup.
class FakeNotifications : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        const std::lock_guard lock(mutex);
        if (message.member() == QLatin1String("CloseNotification")) {
            closed.push_back(message.arguments().value(0).toUInt());
            return bus.send(message.createReply());
        }
        if (message.member() != QLatin1String("Notify")) {
            return false;
        }
        calls.push_back(message.arguments());
        return bus.send(message.createReply(QVariant::fromValue(uint(calls.size()))));
    }
    size_t Calls() {
        const std::lock_guard lock(mutex);
        return calls.size();
    }
    void Signal(const char* name, uint id, const QVariant& detail) {
        bus.send(QDBusMessage::createSignal(kPath, kInterface, name) << id << detail);
    }

    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service"));
    std::mutex mutex;
    std::vector<QList<QVariant>> calls;  // Notify's arguments
    std::vector<uint> closed;            // CloseNotification's ids
};

TEST(DesktopNotifierTest, NoticesCarryIconEntryUrgencyAndAClickOpensTheirOrder) {
    FakeNotifications service;
    ASSERT_TRUE(service.bus.registerVirtualObject(kPath, &service));
    ASSERT_TRUE(service.bus.registerService(kInterface));
    DesktopNotifier notifier({"example.quillet.Quillet", "example.quillet.Quillet"});
    std::vector<std::string> opened;  // each order, and the activation token it came with
    notifier.SetOpened([&opened](const std::string& order) {
        opened.push_back(order + "/" + qEnvironmentVariable("XDG_ACTIVATION_TOKEN").toStdString());
    });

    notifier.Notify(
        {"Mail failed", "It said \"550 <a@b.example> & more\".", NoticeUrgency::Critical, "701"});
    notifier.Notify({"Mails lost", "Not sent."});
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.Calls() == 2; }, 20000));
    const struct {
        QString summary, body, action;
        uchar urgency;
    } expected[] = {
        {"Mail failed", "It said \"550 &lt;a@b.example&gt; &amp; more\".", "Show in History", 2},
        {"Mails lost", "Not sent.", "Show Quillet", 1},
    };
    for (size_t i = 0; i < 2; ++i) {
        const QList<QVariant>& call = service.calls[i];
        ASSERT_EQ(call.size(), 8);
        EXPECT_EQ(call[2].toString(), "example.quillet.Quillet");  // the installed icon
        EXPECT_EQ(call[3].toString() + " | " + call[4].toString(),
                  expected[i].summary + " | " + expected[i].body);
        EXPECT_EQ(call[5].toStringList(), (QStringList{"default", expected[i].action}));
        const auto hints = qdbus_cast<QVariantMap>(call[6].value<QDBusArgument>());
        EXPECT_EQ(hints["desktop-entry"].toString(), "example.quillet.Quillet");
        EXPECT_EQ(hints["urgency"].metaType().id(), QMetaType::UChar);  // a byte, as it must be
        EXPECT_EQ(hints["urgency"].value<uchar>(), expected[i].urgency) << i;
    }

    // Only "default" on a notice of ours that is still shown opens anything; the token that
    // came with a click is in the environment while it opens, and gone afterwards.
    service.Signal("ActivationToken", 1, "token-1");
    service.Signal("ActionInvoked", 1, "default");
    service.Signal("ActionInvoked", 2, "default");
    service.Signal("ActionInvoked", 1, "other");
    service.Signal("ActionInvoked", 99, "default");
    service.Signal("NotificationClosed", 1, 2u);
    service.Signal("ActionInvoked", 1, "default");
    service.Signal("ActionInvoked", 2, "default");  // once it is in, so are those before
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.size() == 3; }, 20000));
    EXPECT_EQ(opened, (std::vector<std::string>{"701/token-1", "/", "/"}));
    EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
}

TEST(DesktopNotifierTest, TheLastNoticeIsOnTheDesktopBeforeTheProgramEnds) {
    FakeNotifications service;
    ASSERT_TRUE(service.bus.registerVirtualObject(kPath, &service));
    ASSERT_TRUE(service.bus.registerService(kInterface));
    DesktopNotifier notifier;
    notifier.Notify({"Order mails lost", "Orders 7 and 8.", NoticeUrgency::Critical});
    notifier.FinishAtEnd(std::chrono::seconds(20));  // no event loop runs before or after it
    EXPECT_EQ(service.Calls(), 1u);
}

// A keyed notice replaces the last one shown under its key; of those that come before the
// service has given its id, the latest alone is shown; a withdrawn one is closed.
TEST(DesktopNotifierTest, AKeyedNoticeReplacesTheLastOfItsKeyAndAWithdrawnOneCloses) {
    FakeNotifications service;
    ASSERT_TRUE(service.bus.registerVirtualObject(kPath, &service));
    ASSERT_TRUE(service.bus.registerService(kInterface));
    DesktopNotifier notifier;
    EXPECT_FALSE(notifier.Available());
    for (const char* summary : {"1 waits", "2 wait", "3 wait"}) {
        notifier.Notify({summary, "", NoticeUrgency::Normal, "", "waiting"});
    }
    notifier.Notify({"other", ""});
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.Calls() == 3; }, 20000));
    QStringList shown;  // summary/replaced id
    for (const QList<QVariant>& call : service.calls) {
        shown << call[3].toString() + "/" + QString::number(call[1].toUInt());
    }
    EXPECT_EQ(shown, (QStringList{"1 waits/0", "other/0", "3 wait/1"}));
    EXPECT_TRUE(notifier.Available());
    notifier.Withdraw("waiting");  // once its id has come
    notifier.Withdraw("other");    // no such key
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::lock_guard lock(service.mutex);
            return !service.closed.empty();
        },
        20000));
    EXPECT_EQ(service.closed, std::vector<uint>{3});
}

}  // namespace
}  // namespace quillet
