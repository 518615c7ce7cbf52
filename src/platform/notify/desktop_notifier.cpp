#include "platform/notify/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>
#include <iostream>

namespace quillet {

void DesktopNotifier::Notify(const std::string& summary, const std::string& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (!said_unavailable_) {
            said_unavailable_ = true;
            std::cerr << "quillet: no session bus, so no desktop notifications: "
                      << bus.lastError().message().toStdString() << "\n";
        }
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Quillet") << 0u << QStringLiteral("quillet")
         << QString::fromStdString(summary) << QString::fromStdString(body) << QStringList()
         << QVariantMap() << -1;
    bus.asyncCall(call);
}

}  // namespace quillet
