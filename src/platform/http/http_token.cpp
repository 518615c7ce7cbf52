#include "platform/http/http_token.h"

#include <sys/random.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace quillet {
namespace {

constexpr size_t kTokenBytes = 32;
constexpr size_t kMaxTokenFileBytes = 4096;

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

HttpToken ReadOrMakeHttpToken(const std::string& path) {
    auto opened = OpenRegularFile(path, FileLinks::kRefuse);
    if (const auto* refusal = std::get_if<FileRefusal>(&opened)) {
        if (!refusal->missing) {
            return {{}, refusal->message, {}};
        }
    } else {
        const int fd = std::get<UniqueFd>(opened).get();
        std::string notice;
        struct stat status {};
        if (::fstat(fd, &status) == 0 && (status.st_mode & 077) != 0) {
            if (::fchmod(fd, 0600) != 0) {
                const std::string why = std::strerror(errno);
                return {{}, path + " is readable by others and cannot be made private: " + why, {}};
            }
            notice = path +
                     " was readable by others; it is now the user's alone (mode 0600). "
                     "Delete it for a new token if another may have read it.";
        }
        auto read = ReadOpenFile(fd, path, kMaxTokenFileBytes);
        if (const auto* refusal = std::get_if<FileRefusal>(&read)) {
            return {{}, refusal->message, {}};
        }
        std::string text = std::move(std::get<std::string>(read));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        if (IsToken(text)) {
            return {text, {}, notice};
        }
    }
    std::array<unsigned char, kTokenBytes> bytes{};
    if (!RandomBytes(bytes)) {
        return {{}, std::string("no random bytes for the token: ") + std::strerror(errno), {}};
    }
    std::string token;
    for (const unsigned char byte : bytes) {
        constexpr char kDigits[] = "0123456789abcdef";
        token += kDigits[byte >> 4];
        token += kDigits[byte & 15];
    }
    if (auto error = WriteFileAtomically(path, token + "\n", 0600)) {
        return {{}, *error, {}};
    }
    return {token, {}, {}};
}

}  // namespace quillet
