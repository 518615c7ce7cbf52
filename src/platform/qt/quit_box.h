// The question put before the program ends at the user's request, as a message box whose
// buttons say what they do: "Quit", "Keep Running" and, where the desktop has a tray, "Keep
// Running in the Tray". Keeping running is the default and the Escape answer, so that Enter
// never ends the program while mails wait.
#pragma once

#include <QMessageBox>
#include <memory>
#include <string>

namespace quillet {

enum class QuitChoice { kQuit, kKeepRunning, kKeepRunningInTray };

// The box with `question` (QuitQuestion's text), not yet shown; `parent` may be null.
std::unique_ptr<QMessageBox> MakeQuitBox(QWidget* parent, const std::string& question,
                                         bool has_tray);

// What the user chose in `box` once it has been answered; kKeepRunning when it was closed
// without a button.
QuitChoice QuitChoiceOf(const QMessageBox& box);

}  // namespace quillet
