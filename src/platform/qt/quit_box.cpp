#include "platform/qt/quit_box.h"

#include <QPushButton>

namespace quillet {
namespace {

// Which choice a button of the box stands for.
constexpr const char* kChoice = "quillet_quit_choice";

QPushButton* AddChoice(QMessageBox& box, const QString& text, QMessageBox::ButtonRole role,
                       QuitChoice choice) {
    QPushButton* button = box.addButton(text, role);
    button->setProperty(kChoice, static_cast<int>(choice));
    return button;
}

}  // namespace

std::unique_ptr<QMessageBox> MakeQuitBox(QWidget* parent, const std::string& question,
                                         bool has_tray) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, QStringLiteral("Quillet"),
                                             QString::fromStdString(question),
                                             QMessageBox::NoButton, parent);
    AddChoice(*box, QStringLiteral("Quit"), QMessageBox::DestructiveRole, QuitChoice::kQuit);
    if (has_tray) {
        AddChoice(*box, QStringLiteral("Keep Running in the Tray"), QMessageBox::AcceptRole,
                  QuitChoice::kKeepRunningInTray);
    }
    QPushButton* keep = AddChoice(*box, QStringLiteral("Keep Running"), QMessageBox::RejectRole,
                                  QuitChoice::kKeepRunning);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    return box;
}

QuitChoice QuitChoiceOf(const QMessageBox& box) {
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == nullptr || !clicked->property(kChoice).isValid()) {
        return QuitChoice::kKeepRunning;
    }
    return static_cast<QuitChoice>(clicked->property(kChoice).toInt());
}

}  // namespace quillet
