#include "platform/qt/watch_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimeZone>
#include <QVBoxLayout>

namespace quillet {
namespace {

QTimeEdit* TimeEdit(int minute, QWidget* parent) {
    auto* edit = new QTimeEdit(QTime(minute / 60, minute % 60), parent);
    edit->setDisplayFormat(QStringLiteral("HH:mm"));
    return edit;
}

int MinuteOf(const QTimeEdit* edit) {
    return edit->time().hour() * 60 + edit->time().minute();
}

}  // namespace

WatchWindow::WatchWindow(const WatchSettings& settings, QWidget* parent)
    : QDialog(parent), given_(settings) {
    setWindowTitle(QStringLiteral("Alarm and Summary"));
    auto* layout = new QVBoxLayout(this);

    auto* hours = new QGroupBox(QStringLiteral("Trading hours"), this);
    auto* hours_layout = new QFormLayout(hours);
    auto* days = new QHBoxLayout;
    constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    for (int day = 0; day < 7; ++day) {
        chkDay[day] = new QCheckBox(QString::fromUtf8(kDays[day]), hours);
        chkDay[day]->setChecked((settings.days & (1u << day)) != 0);
        days->addWidget(chkDay[day]);
        connect(chkDay[day], &QCheckBox::toggled, this, &WatchWindow::ShowEnabled);
    }
    hours_layout->addRow(QStringLiteral("Days:"), days);
    timFrom = TimeEdit(settings.from_minute, hours);
    timTo = TimeEdit(settings.to_minute, hours);
    hours_layout->addRow(QStringLiteral("From:"), timFrom);
    hours_layout->addRow(QStringLiteral("To:"), timTo);
    cmbZone = new QComboBox(hours);
    cmbZone->setEditable(true);
    cmbZone->addItem(QString());  // the system's
    for (const QByteArray& id : QTimeZone::availableTimeZoneIds()) {
        cmbZone->addItem(QString::fromUtf8(id));
    }
    cmbZone->setCurrentText(QString::fromStdString(settings.zone));
    cmbZone->setToolTip(QStringLiteral("Empty: this computer's time zone"));
    hours_layout->addRow(QStringLiteral("Time zone:"), cmbZone);
    layout->addWidget(hours);

    auto* silence = new QHBoxLayout;
    chkSilence = new QCheckBox(QStringLiteral("Alert when no order event comes for"), this);
    chkSilence->setAccessibleName(QStringLiteral(
        "Alert when no order event comes for N minutes while the platform is connected"));
    chkSilence->setChecked(settings.silence_minutes > 0);
    spnSilence = new QSpinBox(this);
    spnSilence->setRange(1, 24 * 60);
    spnSilence->setValue(settings.silence_minutes > 0 ? settings.silence_minutes : 30);
    spnSilence->setAccessibleName(QStringLiteral("Minutes without an order event"));
    silence->addWidget(chkSilence);
    silence->addWidget(spnSilence);
    silence->addWidget(new QLabel(QStringLiteral("minutes while the platform is connected"), this));
    silence->addStretch();
    layout->addLayout(silence);
    chkDisconnect = new QCheckBox(
        QStringLiteral(
            "Alert when the platform disconnects or the FIX session drops during trading hours"),
        this);
    chkDisconnect->setChecked(settings.disconnect_alert);
    layout->addWidget(chkDisconnect);

    auto* summary = new QHBoxLayout;
    chkSummary = new QCheckBox(QStringLiteral("Send a daily summary at"), this);
    chkSummary->setChecked(settings.summary_minute.has_value());
    timSummary = TimeEdit(settings.summary_minute.value_or(17 * 60 + 30), this);
    timSummary->setAccessibleName(QStringLiteral("Time of the daily summary"));
    summary->addWidget(chkSummary);
    summary->addWidget(timSummary);
    summary->addStretch();
    layout->addLayout(summary);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    ShowEnabled();
}

void WatchWindow::ShowEnabled() {
    const WatchSettings chosen = Chosen();
    for (QWidget* needs_hours : std::initializer_list<QWidget*>{timFrom, timTo, cmbZone, chkSilence,
                                                                spnSilence, chkDisconnect}) {
        needs_hours->setEnabled(chosen.hours_on());
    }
}

WatchSettings WatchWindow::Chosen() const {
    WatchSettings chosen = given_;
    chosen.days = 0;
    for (int day = 0; day < 7; ++day) {
        if (chkDay[day]->isChecked()) {
            chosen.days |= 1u << day;
        }
    }
    chosen.from_minute = MinuteOf(timFrom);
    chosen.to_minute = MinuteOf(timTo);
    chosen.zone = cmbZone->currentText().trimmed().toStdString();
    chosen.silence_minutes = chkSilence->isChecked() ? spnSilence->value() : 0;
    chosen.disconnect_alert = chkDisconnect->isChecked();
    chosen.summary_minute =
        chkSummary->isChecked() ? std::optional<int>(MinuteOf(timSummary)) : std::nullopt;
    return chosen;
}

}  // namespace quillet
