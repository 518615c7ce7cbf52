// Replacing a file's content all at once.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillet {

// Writes `content` to a temporary file beside `path` with `mode`, flushes it to the disk, renames
// it over `path` and flushes the folder, so that after a crash at any moment `path` holds the
// old content or the new, whole. Gives the reason ("cannot write PATH: ...") when it could not;
// `path` is then as it was and no temporary file is left. When `path` is a symbolic link, its
// target is the file replaced, beside it, and the link stays; a dangling link is refused.
std::optional<std::string> WriteFileAtomically(const std::string& path, std::string_view content,
                                               mode_t mode);

// WriteFileAtomically for many files of one folder at once, none of them a symbolic link, with
// one flush of the disk for them all instead of one each: each file is written to its
// temporary file, the file system is flushed once (syncfs), each temporary file is renamed over
// its target, and the folder is flushed once. After a crash at any moment each target holds its
// old content or its new one, whole. Just before its rename, `still_wanted(i)` (when given) may
// say no to file i: it is then left as it was. Gives one outcome per file, in their order:
// nothing, or the reason that file could not be written (it is then as it was, with no
// temporary file left).
std::vector<std::optional<std::string>> WriteFilesAtomically(
    const std::vector<std::pair<std::string, std::string>>& files, mode_t mode,
    const std::function<bool(size_t)>& still_wanted = nullptr);

// Whether the file name `name` is that of a temporary file WriteFileAtomically makes for the
// file named `target` in the same folder: the target's name, ".tmp-", and six letters or digits.
bool IsTemporaryName(std::string_view name, std::string_view target);

// The length of a temporary file's name beyond its target's.
inline constexpr size_t kTemporaryNameExtra = 11;

// Removes the temporary files that a write of `path` (through its link, when it is one) killed
// before its end left beside it. Only for the one program that writes `path`: it would remove
// another's write under way. Failures are passed over.
void RemoveLeftTemporaries(const std::string& path);

// The folder part of `path` ("." when it has none).
std::string FolderOf(const std::string& path);

}  // namespace quillet
