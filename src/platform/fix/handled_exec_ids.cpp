#include "platform/fix/handled_exec_ids.h"

#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"

namespace quillet {

HandledExecIds::HandledExecIds(std::string path, const std::string& day, SameDay same_day)
    : path_(std::move(path)), same_day_(std::move(same_day)) {
    std::ifstream in(path_, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string prefix = "day ";
    const size_t first = text.find('\n');
    const bool of_a_day = first != std::string::npos && text.compare(0, prefix.size(), prefix) == 0;
    const std::string kept = of_a_day ? text.substr(prefix.size(), first - prefix.size()) : "";
    if (!of_a_day || !same_day_(kept, day)) {
        StartDay(day);
        return;
    }
    StartDay(kept);
    for (size_t start = first + 1, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        if (ids_.insert(text.substr(start, end - start)).second) {
            text_.append(text, start, end - start + 1);
        }
    }
}

void HandledExecIds::StartDay(const std::string& day) {
    day_ = day;
    ids_.clear();
    text_ = "day " + day + "\n";
}

bool HandledExecIds::Seen(const std::string& day, const std::string& exec_id) {
    if (!same_day_(day_, day)) {
        StartDay(day);
    }
    return ids_.count(exec_id) != 0;
}

std::optional<std::string> HandledExecIds::Add(const std::string& exec_id) {
    if (!ids_.insert(exec_id).second || exec_id.find_first_of("\r\n") != std::string::npos) {
        return std::nullopt;
    }
    text_ += exec_id + "\n";
    return WriteFileAtomically(path_, text_, 0600);
}

}  // namespace quillet
