#include "platform/registry/wine_registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include "platform/registry/wine_registry_lines.h"

#include "platform/regular_file.h"
#include "platform/unique_fd.h"
#include "support/registry_value.h"

namespace quillet {

WineRegistryStore::FileIdentity WineRegistryStore::IdentityOf(const struct stat& status) {
    return FileIdentity{status.st_dev, status.st_ino, status.st_size,
                        static_cast<int64_t>(status.st_mtim.tv_sec),
                        static_cast<int64_t>(status.st_mtim.tv_nsec)};
}

WineRegistryStore::WineRegistryStore(std::string user_reg_path,
                                     std::vector<std::string> kept_subtrees)
    : path_(std::move(user_reg_path)), kept_subtrees_(std::move(kept_subtrees)) {}

const WineRegistry& WineRegistryStore::Current() {
    struct stat status {};
    if (::stat(path_.c_str(), &status) == 0 && parsed_identity_ &&
        IdentityOf(status) == *parsed_identity_) {
        return registry_;
    }
    parsed_identity_.reset();
    registry_ = WineRegistry();
    auto opened = OpenRegularFile(path_);
    if (auto* refusal = std::get_if<FileRefusal>(&opened)) {
        if (!refusal->missing) {
            std::fprintf(stderr, "quillet: %s\n", refusal->message.c_str());
        }
        return registry_;
    }
    const UniqueFd fd = std::move(std::get<UniqueFd>(opened));
    if (::fstat(fd.get(), &status) != 0) {
        return registry_;
    }
    WineRegistryLines lines(fd.get());
    WineRegistry parsed = WineRegistry::Parse(lines, kept_subtrees_);
    if (lines.failed()) {
        return registry_;
    }
    registry_ = std::move(parsed);
    // A file that changed while it was read is read again at the next call.
    struct stat after {};
    if (::fstat(fd.get(), &after) == 0 && IdentityOf(after) == IdentityOf(status) &&
        lines.bytes_read() == static_cast<uint64_t>(status.st_size)) {
        parsed_identity_ = IdentityOf(status);
    }
    return registry_;
}

std::optional<RegistryData> WineRegistryStore::QueryValue(uint32_t root, std::string_view key_path,
                                                          std::string_view value_name) {
    if (root != HKEY_CURRENT_USER) {
        return std::nullopt;
    }
    const RegistryData* data = Current().FindValue(key_path, value_name);
    if (data == nullptr) {
        return std::nullopt;
    }
    return *data;
}

std::optional<std::string> WineRegistryStore::EnumKey(uint32_t root, std::string_view key_path,
                                                      uint32_t index) {
    if (root != HKEY_CURRENT_USER) {
        return std::nullopt;
    }
    const std::string* name = Current().SubkeyName(key_path, index);
    if (name == nullptr) {
        return std::nullopt;
    }
    return *name;
}

}  // namespace quillet
