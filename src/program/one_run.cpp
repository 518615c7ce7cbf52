#include "program/one_run.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <iostream>
#include <thread>

#include "platform/control/second_start.h"

namespace quillet {
namespace {

constexpr std::chrono::seconds kShowReplyLimit(30);
constexpr std::chrono::milliseconds kRecordPoll(100);

}  // namespace

int HandOverToOwner(const InstanceLockAttempt& attempt, const RunFiles& files,
                    std::chrono::milliseconds record_wait) {
    std::string message = "Quillet is already running with the settings file " + files.settings;
    const auto deadline = std::chrono::steady_clock::now() + record_wait;
    std::string socket = attempt.holder_socket;
    SecondStart second{false, {}, true};
    while (true) {
        if (!socket.empty()) {
            second = AskRunningQuilletToShow(
                {socket, {}}, "its socket " + socket + " does not answer", kShowReplyLimit);
            if (second.shown) {
                std::cerr << "quillet: " << message << "; its window is brought to the front\n";
                return 0;
            }
        }
        // Only a socket that nobody listens on yet is worth waiting for.
        if (!second.nobody_listens || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kRecordPoll);
        socket = RecordedHolderSocket(files.lock);
    }
    if (!second.message.empty()) {
        message += " (" + second.message + ")";
    }
    message += ". This start ends so that no mail is sent twice.";
    std::cerr << "quillet: " << message << '\n';
    if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillet"), QString::fromStdString(message));
    }
    return 1;
}

int HandOverToSocketHolder(const ControlSocketLocation& socket, const std::string& error) {
    const SecondStart second = AskRunningQuilletToShow(socket, error, kShowReplyLimit);
    std::cerr << "quillet: " << second.message << '\n';
    return second.shown ? 0 : 1;
}

}  // namespace quillet
