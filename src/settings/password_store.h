// Where the mail account's password is kept when not in the settings file: the desktop's
// keyring. Every call returns at once; its `done` is told later, exactly once, on the
// user-interface thread, never from within the call. A store that goes tells nothing more.
// A failure says why the keyring did not answer (none running, locked and not unlocked, access
// refused).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "support/result.h"

namespace quillet {

class PasswordStore {
  public:
    // The password, nullopt when the keyring holds nothing under the key.
    using ReadDone = std::function<void(Result<std::optional<std::string>> password)>;
    using Done = std::function<void(Result<> done)>;

    virtual ~PasswordStore() = default;
    virtual void Read(const std::string& key, ReadDone done) = 0;
    virtual void Write(const std::string& key, const std::string& password, Done done) = 0;
    virtual void Remove(const std::string& key, Done done) = 0;
};

// The key of an account's password: its server, port and account name.
inline std::string PasswordKey(const std::string& server, const std::string& port,
                               const std::string& account) {
    return "smtp://" + account + "@" + server + ":" + port;
}

}  // namespace quillet
