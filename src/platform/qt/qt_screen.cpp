#include "platform/qt/qt_screen.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>
#include <iostream>

#include "platform/qt/email_setup_window.h"

namespace quillet {

bool QtScreen::HasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
}

void QtScreen::ShowMainWindow() {
    if (main_window_) {
        main_window_->show();
    }
}

void QtScreen::UnloadMainWindow() {
    // Modal dialogs end first (their loops return once this handler has), innermost last.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) {
            dialog->reject();
        }
    }
    if (setup_window_) {
        close_main_after_setup_ = true;  // ShowSetupDialogModal closes the main window
    } else if (main_window_) {
        main_window_->close();
    }
}

void QtScreen::ShowSetupDialogModal(formEmailSetup& dialog) {
    if (setup_window_ || !setup_slot_) {
        return;  // already showing: the dialog is modal, so this is not reached by a click
    }
    EmailSetupWindow window(dialog, *setup_slot_, main_window_);
    setup_window_ = &window;
    window.exec();
    setup_window_ = nullptr;
    if (close_main_after_setup_) {
        close_main_after_setup_ = false;
        if (main_window_) {
            main_window_->close();
        }
    }
}

void QtScreen::HideSetupDialog() {
    if (setup_window_) {
        setup_window_->accept();
    }
}

void QtScreen::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) {
    std::cerr << title << ": " << text << '\n';
    if (!HasDisplay()) {
        return;
    }
    const QMessageBox::Icon qt_icon = icon == MessageIcon::Critical      ? QMessageBox::Critical
                                      : icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                                         : QMessageBox::Information;
    QWidget* parent = setup_window_ ? static_cast<QWidget*>(setup_window_) : main_window_.data();
    QMessageBox box(qt_icon, QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    box.exec();
}

std::string QtScreen::InputBox(const std::string& prompt, const std::string& title,
                               const std::string& default_text) {
    if (!HasDisplay()) {
        return {};
    }
    QWidget* parent = setup_window_ ? static_cast<QWidget*>(setup_window_) : main_window_.data();
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, QString::fromStdString(title), QString::fromStdString(prompt),
                              QLineEdit::Normal, QString::fromStdString(default_text), &ok);
    return ok ? answer.toStdString() : std::string();
}

void QtScreen::SetBusyPointer(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

std::optional<std::string> QtScreen::OpenHelpFile(const std::string& path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) {
        return "no program is set up to open " + path;
    }
    return std::nullopt;
}

}  // namespace quillet
