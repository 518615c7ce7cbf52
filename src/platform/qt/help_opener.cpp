#include "platform/qt/help_opener.h"

#include <QDesktopServices>
#include <QKeySequence>
#include <QMimeDatabase>
#include <QProcess>
#include <QShortcut>
#include <QThread>
#include <QUrl>
#include <QWidget>
#include <filesystem>

namespace quillet {
namespace {

constexpr int kAskBoundMs = 5000;

// Whether the desktop's default programs name one for the file at `path`, as xdg-open would
// choose it; no when xdg-mime is missing, fails or takes longer than its bound.
bool DesktopOpens(const std::string& path) {
    const QString type =
        QMimeDatabase()
            .mimeTypeForFile(QString::fromStdString(path), QMimeDatabase::MatchExtension)
            .name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForStarted(kAskBoundMs)) {
        return false;
    }
    if (!query.waitForFinished(kAskBoundMs)) {
        query.kill();
        query.waitForFinished(kAskBoundMs);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

bool IsRegularFile(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

}  // namespace

HelpOpener::HelpOpener(HelpPlaces places, std::function<void(const std::string&)> tell)
    : places_(std::move(places)), tell_(std::move(tell)) {}

HelpOpener::~HelpOpener() {
    if (asking_) {
        asking_->wait();
    }
}

void HelpOpener::Open(const std::string& page) {
    page_ = page;
    if (asking_) {
        asked_again_ = true;
        return;
    }
    Ask();
}

void HelpOpener::AddHelpKey(QWidget& window, const std::string& page) {
    auto* key = new QShortcut(QKeySequence::HelpContents, &window);
    connect(key, &QShortcut::activated, this, [this, page] { Open(page); });
}

void HelpOpener::Ask() {
    asked_again_ = false;
    asking_.reset(QThread::create([this, places = places_, page = page_] {
        const HelpChoice choice = ChooseHelp(
            places, page, IsRegularFile(places.help_file) && DesktopOpens(places.help_file),
            &IsRegularFile);
        QMetaObject::invokeMethod(
            this, [this, choice] { Answered(choice); }, Qt::QueuedConnection);
    }));
    asking_->start();
}

void HelpOpener::Answered(const HelpChoice& choice) {
    asking_->wait();  // it has posted this as its last step
    asking_.reset();
    if (asked_again_) {
        Ask();  // the latest page, with what the desktop says now
        return;
    }
    if (!choice.message.empty()) {
        tell_(choice.message);
    } else if (!QDesktopServices::openUrl(
                   QUrl::fromLocalFile(QString::fromStdString(choice.open)))) {
        tell_("The help file could not be opened: no program is set up to open " + choice.open);
    }
}

}  // namespace quillet
