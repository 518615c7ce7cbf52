// Quillet: order events in, an order line on screen and in the recipients' mail. main() reads
// the command line, answers what needs no window, settles that this run owns its settings file,
// and runs the Application (program/application.h), which puts the layers and their adapters
// together.
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <chrono>
#include <iostream>

#include "platform/atomic_file.h"
#include "platform/profile/instance_lock.h"
#include "platform/profile/settings_folder.h"
#include "platform/qt/command_line.h"
#include "program/application.h"
#include "program/one_run.h"
#include "program/print_commands.h"
#include "program/program_places.h"

namespace {

// How long a start waits for the run that owns its settings file to say where it listens.
constexpr std::chrono::seconds kOwnerRecordWait(10);

// The program's name, version and icon, which every window shows.
void Identify(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLET_APP_ID));
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size));
    }
    app.setWindowIcon(icon);
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace quillet;
    // What needs no display is answered before the window system starts.
    if (const CommandLine early = ReadCommandLine(RawArguments(argc, argv), QUILLET_VERSION);
        early.exit_status) {
        return EndWith(early);  // --help, --version, or a command line it cannot take
    } else if (early.print_http_token) {
        return PrintHttpToken(early.settings);
    } else if (early.print_history) {
        return PrintHistory(argc, argv, early);
    } else if (early.keep_history_days) {
        return KeepHistory(early.settings, *early.keep_history_days);
    }
    QApplication app(argc, argv);
    Identify(app);
    const CommandLine command = ReadCommandLine(QCoreApplication::arguments(), QUILLET_VERSION);
    if (command.exit_status) {
        return EndWith(command);
    }
    const Result<ProgramPlaces> found =
        FindProgramPlaces(QCoreApplication::applicationFilePath().toStdString(), command.settings,
                          command.fix_config);
    if (!found) {
        std::cerr << "quillet: " << found.error().message
                  << "; name a settings file with --settings\n";
        return 1;
    }
    const ProgramPlaces& places = *found;
    // One run per settings file: settled before anything is sent or the socket is taken.
    StartProblems problems{CreateSettingsFolder(places.settings_folder), std::nullopt};
    InstanceLockAttempt owner = TakeInstanceLock(places.files.lock, kOwnerRecordWait);
    if (owner.held_elsewhere) {
        return HandOverToOwner(owner, places.files, kOwnerRecordWait);
    }
    if (!owner.lock) {
        std::cerr << "quillet: " << owner.error
                  << "; another Quillet on the same settings would not be noticed\n";
        problems.lock_error = owner.error;
    } else {
        RemoveLeftTemporaries(places.settings_file);  // of a save that was killed
    }
    Application quillet(command, places, std::move(owner.lock), std::move(problems));
    return quillet.Run();
}
