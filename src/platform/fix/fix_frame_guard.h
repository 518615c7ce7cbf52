// Bounds what one FIX connection can make the engine hold. QuickFIX keeps every byte it
// receives until it finds a whole message there: bytes that never begin one (no "8=") and a
// message whose BodyLength (9) announces gigabytes would be kept without end. The guard follows
// the bytes as they come, message by message, holding only a few bytes of a message's start,
// and tells when the connection must be dropped:
// - more than `max_message_bytes` came with no "8=" (before a "8=" QuickFIX drops them itself);
// - a message's BodyLength is over `max_message_bytes`, or no BodyLength follows its
//   BeginString within kMaxStartBytes.
// Plain C++14, as the engine's library is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

class FixFrameGuard {
  public:
    static constexpr size_t kDefaultMaxMessageBytes = 1024 * 1024;
    static constexpr size_t kMaxStartBytes = 64;

    explicit FixFrameGuard(size_t max_message_bytes) : max_(max_message_bytes) {}

    // Takes the next bytes received. Gives "" while they stay within bounds, else why the
    // connection must be dropped; after that it takes no more.
    std::string Take(const char* bytes, size_t size);

  private:
    size_t max_;
    bool seeking_ = true;  // looking for "8="; else reading a message's start or skipping it
    uint64_t junk_ = 0;    // bytes since the last message with no "8=" among them
    char last_ = 0;        // the byte before these, while seeking
    std::string start_;    // the message's first bytes, until its BodyLength is read
    uint64_t left_ = 0;    // of the message, once its length is known
    bool refused_ = false;
};

}  // namespace quillet
