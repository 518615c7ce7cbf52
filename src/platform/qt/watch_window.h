// The "Alarm and Summary" dialog, opened from the setup dialog: trading hours (days, from, to,
// time zone), the silence and disconnect alerts and the daily summary's time. It edits a copy
// of the settings; OK gives them back (Chosen), Cancel and the close box leave them.
#pragma once

#include <QDialog>
#include <array>

#include "settings/watch_settings.h"

class QCheckBox;
class QComboBox;
class QSpinBox;
class QTimeEdit;

namespace quillet {

class WatchWindow final : public QDialog {
    Q_OBJECT
  public:
    WatchWindow(const WatchSettings& settings, QWidget* parent);

    // The settings as the controls show them; summary_sent_day as given.
    WatchSettings Chosen() const;

    std::array<QCheckBox*, 7> chkDay{};  // Monday first
    QTimeEdit* timFrom = nullptr;
    QTimeEdit* timTo = nullptr;
    QComboBox* cmbZone = nullptr;  // editable; empty: the system's time zone
    QCheckBox* chkSilence = nullptr;
    QSpinBox* spnSilence = nullptr;
    QCheckBox* chkDisconnect = nullptr;
    QCheckBox* chkSummary = nullptr;
    QTimeEdit* timSummary = nullptr;

  private:
    // The controls that need trading hours are enabled while a day is checked.
    void ShowEnabled();

    WatchSettings given_;
};

}  // namespace quillet
