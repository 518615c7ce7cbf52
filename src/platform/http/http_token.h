// The HTTP endpoint's token: the secret every request names in its Authorization header. Made
// from the kernel's random source the first time it is needed, and kept in quillet-http.token
// beside the settings file, readable by the user alone.
#pragma once

#include <string>

namespace quillet {

struct HttpToken {
    std::string token;   // 64 lowercase hexadecimal digits; empty when `error` is set
    std::string error;   // why there is none: the file cannot be read or written, or no randomness
    std::string notice;  // what the user should be told: the file's mode was tightened
};

// The token kept at `path`. When there is no file, or it holds no token, a new one is made
// (getrandom) and written there atomically with mode 0600 first. A file that others may read
// is made the user's alone (0600), which `notice` says. Gives an error for a file that cannot
// be read for another reason than its absence: one that is not a regular file (a FIFO, a
// device) or is a symbolic link, one over 4 KiB, one whose mode cannot be tightened; and for
// a new token that cannot be kept. Never blocks on the file.
HttpToken ReadOrMakeHttpToken(const std::string& path);

}  // namespace quillet
