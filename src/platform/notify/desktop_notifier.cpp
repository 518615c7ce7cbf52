#include "platform/notify/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <iostream>
#include <utility>

#include "notifications_proxy.h"

namespace quillet {
namespace {

// The most notices kept for their clicks; past it, the oldest are forgotten.
constexpr size_t kMaxShown = 100;

// The notification protocol's urgency levels.
constexpr uchar kUrgencyNormal = 1;
constexpr uchar kUrgencyCritical = 2;

// The body for a service that reads a subset of HTML in it: "<" and "&" of a server's reply
// ("550 5.1.1 <broker@example.com>: Recipient address rejected") are shown as they are.
QString EscapedForMarkup(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return escaped;
}

}  // namespace

DesktopNotifier::DesktopNotifier(Options options) : options_(std::move(options)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;  // said at the first notice
    }
    service_ = std::make_unique<OrgFreedesktopNotificationsInterface>(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"), bus);
    OrgFreedesktopNotificationsInterface* service = service_.get();
    QObject::connect(
        service, &OrgFreedesktopNotificationsInterface::ActionInvoked, service,
        [this](uint id, const QString& action) {
            const auto token = tokens_.extract(id);
            const auto found = shown_.find(id);
            if (found == shown_.end() || action != QLatin1String("default") || !opened_) {
                return;
            }
            if (token) {
                qputenv("XDG_ACTIVATION_TOKEN", token.mapped().toUtf8());
            }
            opened_(found->second);
            qunsetenv("XDG_ACTIVATION_TOKEN");
        });
    QObject::connect(service, &OrgFreedesktopNotificationsInterface::ActivationToken, service,
                     [this](uint id, const QString& token) {
                         if (shown_.count(id) != 0) {
                             tokens_[id] = token;
                         }
                     });
    QObject::connect(service, &OrgFreedesktopNotificationsInterface::NotificationClosed, service,
                     [this](uint id, uint) {
                         shown_.erase(id);
                         tokens_.erase(id);
                         std::erase_if(keyed_, [id](const auto& keyed) {
                             return keyed.second.id == id && !keyed.second.awaiting;
                         });
                     });
    auto* capabilities = new QDBusPendingCallWatcher(service->GetCapabilities(), service);
    QObject::connect(capabilities, &QDBusPendingCallWatcher::finished, service,
                     [this](QDBusPendingCallWatcher* done) {
                         const QDBusPendingReply<QStringList> reply = *done;
                         if (!reply.isError()) {
                             available_ = true;
                             body_markup_ = reply.value().contains(QLatin1String("body-markup"));
                         }
                         done->deleteLater();
                     });
}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::Notify(const Notice& notice) {
    if (!service_) {
        SayUnavailable("no session bus: " +
                       QDBusConnection::sessionBus().lastError().message().toStdString());
        return;
    }
    if (notice.key.empty()) {
        Send(notice, 0);
        return;
    }
    Keyed& keyed = keyed_[notice.key];
    if (keyed.awaiting) {
        keyed.next = notice;
        keyed.withdraw = false;
        return;
    }
    keyed.awaiting = true;
    Send(notice, keyed.id);
}

void DesktopNotifier::Withdraw(const std::string& key) {
    const auto found = keyed_.find(key);
    if (found == keyed_.end()) {
        return;
    }
    if (found->second.awaiting) {
        found->second.next.reset();
        found->second.withdraw = true;
        return;
    }
    if (service_ && found->second.id != 0) {
        service_->CloseNotification(found->second.id);
    }
    keyed_.erase(found);
}

void DesktopNotifier::KeyAnswered(const std::string& key, uint32_t id) {
    Keyed& keyed = keyed_[key];
    keyed.awaiting = false;
    keyed.id = id;
    if (keyed.withdraw) {
        keyed.withdraw = false;
        Withdraw(key);
    } else if (keyed.next) {
        const Notice next = *std::exchange(keyed.next, std::nullopt);
        Notify(next);
    }
}

void DesktopNotifier::Send(const Notice& notice, uint32_t replaces) {
    const QString body = QString::fromStdString(notice.body);
    const QStringList actions{QStringLiteral("default"), notice.order_id.empty()
                                                             ? QStringLiteral("Show Quillet")
                                                             : QStringLiteral("Show in History")};
    const QVariantMap hints{
        {QStringLiteral("urgency"),
         QVariant::fromValue(notice.urgency == NoticeUrgency::Critical ? kUrgencyCritical
                                                                       : kUrgencyNormal)},
        {QStringLiteral("desktop-entry"), QString::fromStdString(options_.desktop_entry)}};
    auto* shown = new QDBusPendingCallWatcher(
        service_->Notify(QStringLiteral("Quillet"), replaces,
                         QString::fromStdString(options_.app_icon),
                         QString::fromStdString(notice.summary),
                         body_markup_ ? EscapedForMarkup(body) : body, actions, hints, -1),
        service_.get());
    ++unanswered_;
    QObject::connect(
        shown, &QDBusPendingCallWatcher::finished, service_.get(),
        [this, order = notice.order_id, key = notice.key](QDBusPendingCallWatcher* done) {
            const QDBusPendingReply<uint> reply = *done;
            done->deleteLater();
            if (reply.isError()) {
                SayUnavailable(reply.error().message().toStdString());
            } else {
                available_ = true;
                shown_[reply.value()] = order;
                if (shown_.size() > kMaxShown) {
                    shown_.erase(shown_.begin());
                }
            }
            if (!key.empty()) {  // before the count: what waited is sent before the end's wait
                KeyAnswered(key, reply.isError() ? 0 : reply.value());
            }
            if (--unanswered_ == 0 && ending_ != nullptr) {
                ending_->quit();
            }
        });
}

void DesktopNotifier::FinishAtEnd(std::chrono::milliseconds limit) {
    if (unanswered_ == 0) {
        return;
    }
    QEventLoop wait;
    QTimer::singleShot(limit, &wait, &QEventLoop::quit);
    ending_ = &wait;
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    ending_ = nullptr;
}

void DesktopNotifier::SayUnavailable(const std::string& why) {
    if (!said_unavailable_) {
        said_unavailable_ = true;
        std::cerr << "quillet: no desktop notifications: " << why << "\n";
    }
}

}  // namespace quillet
