#include "platform/qt/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <optional>

#include "accounts/account_list_layout.h"

namespace quillet {
namespace {

// A title bar and a thin border, for a window whose frame is not known yet.
constexpr QMargins kUsualFrame(4, 30, 4, 4);

// Nothing while the window system has not told the frame yet, or tells one that does not hold
// the window (as it may for a moment while a window manager takes the window in). Frames come
// in whole device-independent pixels, each edge rounded from the window system's own: scaled,
// a frame may show a pixel wider than measured, so each edge counts one pixel more.
std::optional<QMargins> MeasuredFrame(const QWidget& window) {
    if (!window.isVisible()) {
        return std::nullopt;
    }
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    if (!outer.contains(inner)) {
        return std::nullopt;
    }
    const int rounding = window.devicePixelRatioF() != 1.0 ? 1 : 0;
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom()) +
           rounding;
}

WindowRect ToWindowRect(const QRect& r) {
    return {static_cast<float>(r.x()), static_cast<float>(r.y()), static_cast<float>(r.width()),
            static_cast<float>(r.height())};
}

}  // namespace

QRect AvailableArea(const QWidget& window) {
    const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    const QScreen* screen = !window.isVisible() && owner ? owner->screen() : window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen ? screen->availableGeometry() : QRect();
}

QMargins FrameOf(const QWidget& window) {
    const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    const QWidget* measured = window.isVisible() ? &window : owner;
    return measured ? MeasuredFrame(*measured).value_or(kUsualFrame) : kUsualFrame;
}

QSize ClientRoom(const QWidget& window) {
    return AvailableArea(window).size().shrunkBy(FrameOf(window)).expandedTo(QSize(0, 0));
}

void KeepOnScreen(QWidget& window) {
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) {
        return;
    }
    const QMargins frame = FrameOf(window);
    const QRect outer = window.geometry().marginsAdded(frame);
    if (area.contains(outer)) {
        return;
    }
    const WindowRect kept = KeepWithin(ToWindowRect(outer), ToWindowRect(area));
    window.move(static_cast<int>(std::lround(kept.left)), static_cast<int>(std::lround(kept.top)));
}

void FitOnScreen(QWidget& window) {
    const QSize room = ClientRoom(window);
    if (window.width() >= room.width() || window.height() >= room.height()) {
        window.resize(window.size().boundedTo(room));
        if (!window.testAttribute(Qt::WA_Moved)) {
            // A position of the program's own: a window manager would place it as if it fitted.
            window.move(AvailableArea(window).topLeft());
        }
        KeepOnScreen(window);
    } else if (window.testAttribute(Qt::WA_Moved)) {
        KeepOnScreen(window);
    }
}

}  // namespace quillet
