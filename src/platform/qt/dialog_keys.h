// The keys that a dialog's default and cancel buttons would take. No button of our dialogs
// answers them by itself.
#pragma once

#include <QKeyEvent>

namespace quillet {

inline bool IsDefaultButtonKey(const QKeyEvent& event) {
    const int key = event.key();
    return key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace quillet
