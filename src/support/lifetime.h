// The one way the program runs work elsewhere (on the mail thread, in the keyring, on a later
// pass of the event loop) and comes back: the owner of the work keeps a Lifetime, and wraps
// each callback that comes back to it with Guard. A guarded callback does nothing once its
// owner has gone (or called End), so work that outlives its owner never reaches into it.
//
// A Lifetime and the callbacks it guards are used on the owner's thread; a guarded callback
// may be made and carried on another thread while the Lifetime neither ends nor goes.
#pragma once

#include <memory>
#include <utility>

namespace quillet {

class Lifetime {
  public:
    Lifetime() = default;
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    // `callback`, run only while this lifetime lasts; its result is dropped.
    template <class Callback>
    auto Guard(Callback callback) const {
        return [alive = std::weak_ptr<const char>(token_),
                callback = std::move(callback)](auto&&... arguments) mutable {
            if (!alive.expired()) {
                callback(std::forward<decltype(arguments)>(arguments)...);
            }
        };
    }

    // Ends the lifetime before its owner goes: no guarded callback runs from now on.
    void End() { token_.reset(); }

  private:
    std::shared_ptr<const char> token_ = std::make_shared<const char>();
};

}  // namespace quillet
