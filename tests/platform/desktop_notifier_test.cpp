// The desktop's notifications over a private session bus (dbus-run-session), against a
// notification service of the test's own that writes down each call and clicks on notices.
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

// Says that it reads markup; each notice's id is its place among the calls, from 1.
class FakeNotifications : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        if (message.member() == QLatin1String("GetCapabilities")) {
            return bus.send(message.createReply(
                QStringList{QStringLiteral("actions"), QStringLiteral("body-markup")}));
        }
        const std::lock_guard lock(mutex);
        calls.push_back(message.arguments());
        return bus.send(message.createReply(QVariant::fromValue(uint(calls.size()))));
    }
    void Click(uint id, const QString& action, const QString& signal = "ActionInvoked") {
        QDBusMessage click = QDBusMessage::createSignal(kPath, kInterface, signal);
        click << id << (signal == "ActionInvoked" ? QVariant(action) : QVariant(2u));
        bus.send(click);
    }
    size_t Calls() {
        const std::lock_guard lock(mutex);
        return calls.size();
    }

    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service"));
    std::mutex mutex;
    std::vector<QList<QVariant>> calls;  // Notify's arguments
};

TEST(DesktopNotifierTest, NoticesCarryIconEntryUrgencyAndAClickOpensTheirOrder) {
    FakeNotifications service;
    ASSERT_TRUE(service.bus.registerVirtualObject(kPath, &service));
    ASSERT_TRUE(service.bus.registerService(kInterface));
    DesktopNotifier notifier({"example.quillet.Quillet", "example.quillet.Quillet"});
    std::vector<std::string> opened;
    notifier.SetOpened([&opened](const std::string& order) { opened.push_back(order); });

    notifier.Notify({"Order mail for order 701 failed",
                     "The server answered \"550 <a@b.example> & more\".", NoticeUrgency::Critical,
                     "701"});
    notifier.Notify({"Order mails lost", "The mails of order 1, order 2 were not sent."});
    ASSERT_TRUE(QTest::qWaitFor([&] { return service.Calls() == 2; }, 20000));
    const struct {
        QString summary;
        QString body;
        QString action;
        uchar urgency;
    } expected[] = {
        {"Order mail for order 701 failed",
         "The server answered \"550 &lt;a@b.example&gt; &amp; more\".", "Show in History", 2},
        {"Order mails lost", "The mails of order 1, order 2 were not sent.", "Show Quillet", 1},
    };
    for (size_t i = 0; i < 2; ++i) {
        const QList<QVariant>& call = service.calls[i];
        ASSERT_EQ(call.size(), 8);
        EXPECT_EQ(call[0].toString(), "Quillet");
        EXPECT_EQ(call[2].toString(), "example.quillet.Quillet");  // the installed icon
        EXPECT_EQ(call[3].toString(), expected[i].summary);
        EXPECT_EQ(call[4].toString(), expected[i].body);
        EXPECT_EQ(call[5].toStringList(), (QStringList{"default", expected[i].action}));
        const auto hints = qdbus_cast<QVariantMap>(call[6].value<QDBusArgument>());
        EXPECT_EQ(hints["desktop-entry"].toString(), "example.quillet.Quillet");
        EXPECT_EQ(hints["urgency"].metaType().id(), QMetaType::UChar);  // a byte, as it must be
        EXPECT_EQ(hints["urgency"].value<uchar>(), expected[i].urgency) << i;
    }

    // Clicks: only "default" on a notice of ours that is still shown opens anything.
    service.Click(1, "default");
    service.Click(2, "default");
    service.Click(1, "other");
    service.Click(99, "default");
    service.Click(1, "", "NotificationClosed");
    service.Click(1, "default");
    service.Click(2, "default");  // the last: once it is in, so are those before
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.size() == 3; }, 20000));
    EXPECT_EQ(opened, (std::vector<std::string>{"701", "", ""}));
}

}  // namespace
}  // namespace quillet
