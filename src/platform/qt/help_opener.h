// Opens the help for a window without holding the window: whether the desktop has a program
// for the compiled help file is asked of xdg-mime on a thread of its own, and the help file,
// or else the window's page of the HTML help, then goes to the desktop (QDesktopServices).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "app/shell/help_choice.h"

class QThread;
class QWidget;

namespace quillet {

class HelpOpener final : public QObject {
  public:
    // `tell` shows a message on the window's thread: what ChooseHelp says when nothing is there
    // to open, or that the desktop could not open what was chosen.
    HelpOpener(HelpPlaces places, std::function<void(const std::string&)> tell);
    ~HelpOpener() override;  // waits for a question under way, at most its bound of 5 s
    HelpOpener(const HelpOpener&) = delete;
    HelpOpener& operator=(const HelpOpener&) = delete;

    // Opens the help at `page` (see ChooseHelp) and returns at once. Asked again while the
    // desktop is being asked, the latest page is the one opened.
    void Open(const std::string& page);
    // F1 on `window` (while it or one of its children has the focus) opens `page`.
    void AddHelpKey(QWidget& window, const std::string& page);

  private:
    void Ask();
    void Answered(const HelpChoice& choice);

    HelpPlaces places_;
    std::function<void(const std::string&)> tell_;
    std::string page_;  // the page asked for
    std::unique_ptr<QThread> asking_;
    bool asked_again_ = false;
};

}  // namespace quillet
