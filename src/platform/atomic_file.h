// Replacing a file's content all at once.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Writes `content` to a temporary file beside `path` with `mode`, flushes it to the disk, renames
// it over `path` and flushes the folder, so that after a crash at any moment `path` holds the
// old content or the new, whole. Gives the reason ("cannot write PATH: ...") when it could not;
// `path` is then as it was and no temporary file is left. When `path` is a symbolic link, its
// target is the file replaced, beside it, and the link stays; a dangling link is refused.
std::optional<std::string> WriteFileAtomically(const std::string& path, std::string_view content,
                                               mode_t mode);

// The folder part of `path` ("." when it has none).
std::string FolderOf(const std::string& path);

}  // namespace quillet
