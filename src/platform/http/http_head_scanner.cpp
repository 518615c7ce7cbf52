#include "platform/http/http_head_scanner.h"

#include <algorithm>
#include <cctype>

#include "platform/http/http_request_rules.h"

namespace quillet {
namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameName(std::string_view name, std::string_view lower) {
    return name.size() == lower.size() &&
           std::equal(name.begin(), name.end(), lower.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

// A whole number in `base` of at most 15 digits, or -1.
int64_t Number(std::string_view digits, int base) {
    if (digits.empty() || digits.size() > 15) {
        return -1;
    }
    int64_t value = 0;
    for (const char c : digits) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : base == 16 && std::isxdigit(static_cast<unsigned char>(c))
                              ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                              : -1;
        if (digit < 0) {
            return -1;
        }
        value = value * base + digit;
    }
    return value;
}

}  // namespace

std::string HttpHeadScanner::Feed(std::string_view bytes) {
    std::string refusal;
    while (!bytes.empty() && refusal.empty()) {
        if (state_ == State::kBody || state_ == State::kChunkData) {
            const size_t skipped = static_cast<size_t>(std::min<uint64_t>(left_, bytes.size()));
            bytes.remove_prefix(skipped);
            left_ -= skipped;
            if (left_ == 0) {
                state_ = state_ == State::kBody ? State::kHead : State::kChunkEnd;
            }
            continue;
        }
        if (state_ == State::kHead && head_.empty() &&
            (bytes.front() == '\r' || bytes.front() == '\n')) {
            bytes.remove_prefix(1);  // blank lines before a request are let pass
            continue;
        }
        // A head ends with an empty line; a chunk's size, its end and a trailer with a line.
        const size_t old = head_.size();
        head_.append(bytes);
        size_t end = std::string::npos;
        if (state_ == State::kHead) {
            const size_t from = old >= 3 ? old - 3 : 0;
            const size_t lf = head_.find("\n\n", from);
            const size_t crlf = head_.find("\n\r\n", from);
            end = std::min(lf == std::string::npos ? lf : lf + 2,
                           crlf == std::string::npos ? crlf : crlf + 3);
        } else if (const size_t lf = head_.find('\n', old); lf != std::string::npos) {
            end = lf + 1;
        }
        if (end == std::string::npos) {
            bytes = {};
            if (head_.size() > kMaxHeadBytes) {
                refusal = "request head longer than " + std::to_string(kMaxHeadBytes) + " bytes";
            }
            break;
        }
        bytes.remove_prefix(end - old);
        head_.resize(end);
        refusal = state_ == State::kHead ? Judge() : ChunkLine(Trimmed(head_));
        head_.clear();
    }
    if (!refusal.empty()) {
        state_ = State::kRefused;
    }
    return refusal;
}

std::string HttpHeadScanner::Judge() {
    std::string_view rest(head_);
    const std::string_view request_line = rest.substr(0, rest.find('\n'));
    const size_t blank = request_line.find(' ');
    const std::string_view target =
        blank == std::string_view::npos
            ? std::string_view{}
            : Trimmed(
                  request_line.substr(blank + 1, request_line.find(' ', blank + 1) - blank - 1));
    int hosts = 0;
    int64_t length = 0;
    chunked_ = false;
    for (size_t at = request_line.size() + 1; at < rest.size();) {
        const std::string_view line = rest.substr(at, rest.find('\n', at) - at);
        at += line.size() + 1;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const std::string_view name = Trimmed(line.substr(0, colon));
        const std::string_view value = Trimmed(line.substr(colon + 1));
        if (SameName(name, "host")) {
            ++hosts;
        } else if (SameName(name, "content-length")) {
            length = Number(value, 10);
        } else if (SameName(name, "transfer-encoding")) {
            chunked_ = true;
        } else if (SameName(name, "authorization") && AuthorisationNamesToken(value, token_)) {
            owner_ = true;
        }
    }
    if (target.empty() || target.front() != '/') {
        return "the request target must be a path such as /events";
    }
    if (hosts > 1) {
        return "more than one Host header";
    }
    if (length < 0 && !chunked_) {
        return "the Content-Length is not a number";
    }
    left_ = static_cast<uint64_t>(length);
    state_ = chunked_ ? State::kChunkSize : left_ > 0 ? State::kBody : State::kHead;
    return {};
}

std::string HttpHeadScanner::ChunkLine(std::string_view line) {
    switch (state_) {
        case State::kChunkSize: {
            const int64_t size = Number(Trimmed(line.substr(0, line.find(';'))), 16);
            if (size < 0) {
                return "a chunk of the body has no size";
            }
            left_ = static_cast<uint64_t>(size);
            state_ = size == 0 ? State::kTrailer : State::kChunkData;
            return {};
        }
        case State::kChunkEnd:
            state_ = State::kChunkSize;
            return line.empty() ? "" : "a chunk of the body is longer than its size";
        default:  // a trailer field, or the empty line that ends the request
            if (line.empty()) {
                state_ = State::kHead;
            }
            return {};
    }
}

}  // namespace quillet
