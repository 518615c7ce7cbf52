#include "app/shell/quit_question.h"

namespace quillet {

std::optional<std::string> QuitQuestion(int waiting, bool connected) {
    if (waiting <= 0 && !connected) {
        return std::nullopt;
    }
    std::string question;
    if (waiting == 1) {
        question = "1 order mail is waiting to be sent; it goes out at the next start of Quillet. ";
    } else if (waiting > 1) {
        question = std::to_string(waiting) +
                   " order mails are waiting to be sent; they go out at the next start of "
                   "Quillet. ";
    }
    if (connected) {
        question +=
            "The platform is connected: the orders it reports after Quillet has ended are "
            "neither shown nor mailed. ";
    }
    return question + "Quit Quillet?";
}

}  // namespace quillet
