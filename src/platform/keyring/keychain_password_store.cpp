#include "platform/keyring/keychain_password_store.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace quillet {
namespace {

const QString kService = QStringLiteral("Quillet");

// The job's outcome; a failure in the keyring's words.
Result<> OutcomeOf(const QKeychain::Job& job) {
    if (job.error() == QKeychain::NoError) {
        return {};
    }
    return Fail(job.errorString().toStdString());
}

}  // namespace

KeychainPasswordStore::KeychainPasswordStore() = default;

KeychainPasswordStore::~KeychainPasswordStore() = default;

void KeychainPasswordStore::Run(QKeychain::Job* job, std::function<void(QKeychain::Job&)> ended) {
    job->setAutoDelete(true);
    job->setInsecureFallback(false);  // never a plain file of QtKeychain's own
    ++running_;
    QObject::connect(job, &QKeychain::Job::finished, &owner_,
                     [this, ended = std::move(ended)](QKeychain::Job* finished) {
                         --running_;
                         ended(*finished);
                     });
    job->start();
}

void KeychainPasswordStore::Read(const std::string& key, ReadDone done) {
    auto* job = new QKeychain::ReadPasswordJob(kService, &owner_);
    job->setKey(QString::fromStdString(key));
    Run(job, [done = std::move(done)](QKeychain::Job& finished) {
        if (finished.error() == QKeychain::EntryNotFound) {
            done(std::optional<std::string>());
        } else if (Result<> outcome = OutcomeOf(finished); !outcome.ok()) {
            done(outcome.error());
        } else {
            done(std::optional<std::string>(
                static_cast<QKeychain::ReadPasswordJob&>(finished).textData().toStdString()));
        }
    });
}

void KeychainPasswordStore::Write(const std::string& key, const std::string& password,
                                  Done done) {
    auto* job = new QKeychain::WritePasswordJob(kService, &owner_);
    job->setKey(QString::fromStdString(key));
    job->setTextData(QString::fromStdString(password));
    Run(job, [done = std::move(done)](QKeychain::Job& finished) { done(OutcomeOf(finished)); });
}

void KeychainPasswordStore::Remove(const std::string& key, Done done) {
    auto* job = new QKeychain::DeletePasswordJob(kService, &owner_);
    job->setKey(QString::fromStdString(key));
    Run(job, [done = std::move(done)](QKeychain::Job& finished) {
        done(finished.error() == QKeychain::EntryNotFound ? Result<>() : OutcomeOf(finished));
    });
}

bool KeychainPasswordStore::Finish(std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit.count());
    while (running_ > 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return running_ == 0;
}

}  // namespace quillet
