// Follows the bytes one client sends, request after request, so that the listener can judge a
// request's head the moment it is whole, before the HTTP server reads it, and can tell how far
// the client is: between requests, or inside one (its head or its body).
//
// A head is refused (Feed gives the reason, for a 400) when its request target is not a path
// (an absolute-form "http://host/..." or an authority-form target, which a proxy would take),
// when it has more than one Host header, when it is longer than kMaxHeadBytes, or when a
// chunked body is malformed. Bodies are skipped by Content-Length or by their chunks. A head
// that carries the token (as http_request_rules.h reads Authorization) marks the client as
// the owner, whatever else it holds. After a refusal the scanner takes no more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

class HttpHeadScanner {
  public:
    static constexpr size_t kMaxHeadBytes = 64 * 1024;

    // `token` is compared with each head's Authorization; it must outlive the scanner.
    explicit HttpHeadScanner(const std::string& token) : token_(token) {}

    // Takes the next bytes of the connection. Gives "" while every head is acceptable, else
    // why the last one is not.
    std::string Feed(std::string_view bytes);
    // Whether the client rests between requests (nothing of the next one has come).
    bool Between() const { return state_ == State::kHead && head_.empty(); }
    // Whether some head so far named the token.
    bool Owner() const { return owner_; }

  private:
    enum class State { kHead, kBody, kChunkSize, kChunkData, kChunkEnd, kTrailer, kRefused };
    std::string Judge();  // the whole head in head_
    std::string ChunkLine(std::string_view line);

    const std::string& token_;
    State state_ = State::kHead;
    std::string head_;   // the head so far, or the chunk line so far
    uint64_t left_ = 0;  // bytes of the body or of the chunk still to skip
    bool chunked_ = false;
    bool owner_ = false;
};

}  // namespace quillet
