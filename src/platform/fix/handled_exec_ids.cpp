#include "platform/fix/handled_exec_ids.h"

#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"

namespace quillet {

HandledExecIds::HandledExecIds(std::string path, std::string day) : path_(std::move(path)) {
    std::ifstream in(path_, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    StartDay(day);
    const size_t first = text.find('\n');
    if (first == std::string::npos || text.substr(0, first) != "day " + day) {
        return;
    }
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
    if (day != day_) {
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
