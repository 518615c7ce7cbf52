// A request to stop work under way, made on one thread and seen on another: the one who may
// want to stop keeps a copy, the work carries another. Copies share one flag, which once set
// stays set; setting it only asks, and the work ends as soon as it next looks. Neither setting
// nor looking can fail or block.
#pragma once

#include <atomic>
#include <memory>

namespace quillet {

class CancelFlag {
  public:
    CancelFlag() = default;

    // Asks the work carrying a copy of this flag to stop.
    void Set() { set_->store(true); }
    bool IsSet() const { return set_->load(); }

  private:
    std::shared_ptr<std::atomic<bool>> set_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace quillet
