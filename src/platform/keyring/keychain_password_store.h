// The desktop's keyring through QtKeychain (Secret Service: GNOME Keyring, KeePassXC, KWallet;
// or KWallet itself), under the service "Quillet". Each call starts a job and returns; its
// outcome comes from the event loop of the thread that made the store (the user-interface
// thread). No keyring, a locked one that is not unlocked, or a refusal: the error text says so.
#pragma once

#include <QObject>
#include <chrono>

#include "settings/password_store.h"

namespace QKeychain {
class Job;
}

namespace quillet {

class KeychainPasswordStore : public PasswordStore {
  public:
    KeychainPasswordStore();
    // Jobs still under way are abandoned: their `done` is never told.
    ~KeychainPasswordStore() override;
    KeychainPasswordStore(const KeychainPasswordStore&) = delete;
    KeychainPasswordStore& operator=(const KeychainPasswordStore&) = delete;

    void Read(const std::string& key, ReadDone done) override;
    void Write(const std::string& key, const std::string& password, Done done) override;
    void Remove(const std::string& key, Done done) override;

    // For the end of the program, once the window has gone: runs the event loop until every
    // job under way has ended, at most `limit`. Gives whether they all ended.
    bool Finish(std::chrono::milliseconds limit);

  private:
    void Run(QKeychain::Job* job, std::function<void(QKeychain::Job&)> ended);

    QObject owner_;  // the parent of every job under way; their outcomes go with it
    int running_ = 0;
};

}  // namespace quillet
