#include "platform/qt/tray_icon.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace quillet {
namespace {

// The colours of the order lines' dots.
const QColor kWaitingColour(230, 160, 0);
const QColor kFailedColour(200, 0, 0);

// The program's icon with the mark of `state` in its lower right corner: none when all are
// delivered, an amber clock while some wait, a red cross when some failed. Without a program
// icon a plain disc stands in for it.
QIcon StateIcon(const QIcon& program_icon, TrayState state) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        if (program_icon.isNull()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QApplication::palette().color(QPalette::Highlight));
            painter.drawEllipse(QRectF(pixmap.rect()).adjusted(1, 1, -1, -1));
        } else {
            program_icon.paint(&painter, pixmap.rect());
        }
        if (state != TrayState::kDelivered) {
            const double diameter = size * 0.6;
            const QRectF mark(size - diameter, size - diameter, diameter, diameter);
            const double line = std::max(1.0, size / 14.0);
            painter.setPen(QPen(Qt::white, line));
            painter.setBrush(state == TrayState::kWaiting ? kWaitingColour : kFailedColour);
            painter.drawEllipse(mark.adjusted(line / 2, line / 2, -line / 2, -line / 2));
            painter.setPen(QPen(Qt::white, line * 1.3, Qt::SolidLine, Qt::RoundCap));
            const QPointF centre = mark.center();
            const double arm = diameter * 0.26;
            if (state == TrayState::kWaiting) {  // the hands of a clock at three
                painter.drawLine(centre, centre + QPointF(0, -arm));
                painter.drawLine(centre, centre + QPointF(arm * 0.8, 0));
            } else {
                painter.drawLine(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm));
                painter.drawLine(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm));
            }
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

TrayIcon::TrayIcon(TrayActions actions)
    : actions_(std::move(actions)),
      menu_(std::make_unique<QMenu>()),
      icon_(std::make_unique<QSystemTrayIcon>()) {
    AddAction(tr("Show Quillet"), actions_.show_window);
    AddAction(tr("E-mail Setup..."), actions_.email_setup);
    AddAction(tr("History..."), actions_.show_history);
    send_failed_again_ = AddAction(tr("Send Failed Again"), actions_.send_failed_again);
    menu_->addSeparator();
    start_with_desktop_ = AddCheck(tr("Start with the Desktop"), actions_.set_start_with_desktop);
    keep_running_ = AddCheck(tr("Keep Running in the Tray"), actions_.set_keep_running);
    menu_->addSeparator();
    AddAction(tr("Quit"), actions_.quit);
    connect(menu_.get(), &QMenu::aboutToShow, this, &TrayIcon::ReadChecks);
    connect(icon_.get(), &QSystemTrayIcon::activated, this, &TrayIcon::OnActivated);
    icon_->setContextMenu(menu_.get());
    ReadChecks();
    ShowState(0, 0, 0, 0);
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::Available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::Show() {
    icon_->show();
}

void TrayIcon::ShowState(int waiting, int failed, int delivered, int partly) {
    const TrayState state = failed > 0    ? TrayState::kFailed
                            : waiting > 0 ? TrayState::kWaiting
                                          : TrayState::kDelivered;
    if (!drawn_ || state != state_) {
        icon_->setIcon(StateIcon(QApplication::windowIcon(), state));
        state_ = state;
        drawn_ = true;
    }
    QString tip =
        tr("Quillet: %1 delivered, %2 waiting, %3 failed").arg(delivered).arg(waiting).arg(failed);
    if (partly > 0) {
        tip += tr(" (%1 of them delivered to some recipients only)").arg(partly);
    }
    icon_->setToolTip(tip);
    send_failed_again_->setEnabled(failed > 0);
}

void TrayIcon::TellKeepsRunning() {
    icon_->showMessage(tr("Quillet keeps running in the tray"),
                       QString::fromUtf8(kKeepsRunningText.data(),
                                         static_cast<qsizetype>(kKeepsRunningText.size())),
                       QSystemTrayIcon::Information);
}

QAction* TrayIcon::AddAction(const QString& text, const std::function<void()>& action) {
    QAction* item = menu_->addAction(text);
    connect(item, &QAction::triggered, this, [&action] {
        if (action) {
            action();
        }
    });
    return item;
}

QAction* TrayIcon::AddCheck(const QString& text, const std::function<void(bool)>& set) {
    QAction* item = menu_->addAction(text);
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, &set](bool checked) {
        if (set) {
            set(checked);
        }
        ReadChecks();
    });
    return item;
}

void TrayIcon::ReadChecks() {
    start_with_desktop_->setChecked(actions_.start_with_desktop && actions_.start_with_desktop());
    keep_running_->setChecked(actions_.keep_running && actions_.keep_running());
}

void TrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if ((reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) &&
        actions_.show_window) {
        actions_.show_window();
    }
}

}  // namespace quillet
