#include "platform/http/http_token.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"

namespace quillet {
namespace {

constexpr size_t kTokenBytes = 32;

bool IsToken(const std::string& text) {
    return text.size() == 2 * kTokenBytes &&
           text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Fills `bytes` from the kernel's random source; false when it cannot.
bool RandomBytes(std::array<unsigned char, kTokenBytes>& bytes) {
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        filled += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

std::string HttpTokenPath(const std::string& settings_file) {
    return FolderOf(settings_file) + "/quillet-http.token";
}

HttpToken ReadOrMakeHttpToken(const std::string& path) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        if (IsToken(text)) {
            return {text, {}};
        }
    } else if (errno != ENOENT) {
        return {{}, "cannot read " + path + ": " + std::strerror(errno)};
    }
    std::array<unsigned char, kTokenBytes> bytes{};
    if (!RandomBytes(bytes)) {
        return {{}, std::string("no random bytes for the token: ") + std::strerror(errno)};
    }
    std::string token;
    for (const unsigned char byte : bytes) {
        constexpr char kDigits[] = "0123456789abcdef";
        token += kDigits[byte >> 4];
        token += kDigits[byte & 15];
    }
    if (auto error = WriteFileAtomically(path, token + "\n", 0600)) {
        return {{}, *error};
    }
    return {token, {}};
}

}  // namespace quillet
