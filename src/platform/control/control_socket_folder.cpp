#include "platform/control/control_socket_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillet {
namespace {

std::string Octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof(text), "%04o", mode);
    return text;
}

}  // namespace

std::string PreparePrivateSocketFolder(const std::string& folder) {
    constexpr mode_t kPrivate = 0700;
    if (mkdir(folder.c_str(), kPrivate) == 0) {
        // The umask may have taken bits away; the folder is ours, so set them exactly.
        if (chmod(folder.c_str(), kPrivate) != 0) {
            return "cannot set the mode of the folder " + folder + ": " + std::strerror(errno);
        }
    } else if (errno != EEXIST) {
        return "cannot create the folder " + folder + ": " + std::strerror(errno);
    }
    struct stat status {};
    if (lstat(folder.c_str(), &status) != 0) {
        return "cannot examine the folder " + folder + ": " + std::strerror(errno);
    }
    const std::string refusal = "; refusing to put the control socket there";
    if (!S_ISDIR(status.st_mode)) {
        return folder + " is not a folder (a symbolic link or another kind of file)" + refusal;
    }
    if (status.st_uid != getuid()) {
        return folder + " belongs to another user (uid " + std::to_string(status.st_uid) + ")" +
               refusal;
    }
    if ((status.st_mode & 07777) != kPrivate) {
        return folder + " has mode " + Octal(status.st_mode & 07777) + ", not 0700" + refusal;
    }
    return {};
}

}  // namespace quillet
