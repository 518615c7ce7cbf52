#include "platform/fix/handled_exec_ids.h"

#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"

namespace quillet {
namespace {

// An ExecID as a line of the file: as it is, or, when it holds a line break or would begin with
// the mark, the mark (SOH, which no FIX field value holds, so no file of before begins a line
// with it) and its bytes in hexadecimal.
constexpr char kEscaped = '\x01';

std::string Line(const std::string& exec_id) {
    if (exec_id.find_first_of("\r\n") == std::string::npos &&
        (exec_id.empty() || exec_id.front() != kEscaped)) {
        return exec_id;
    }
    constexpr char kDigits[] = "0123456789abcdef";
    std::string line(1, kEscaped);
    for (const char c : exec_id) {
        line += kDigits[static_cast<unsigned char>(c) >> 4];
        line += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return line;
}

std::string ExecIdOf(const std::string& line) {
    if (line.empty() || line.front() != kEscaped) {
        return line;
    }
    const auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string exec_id;
    for (size_t i = 1; i + 1 < line.size(); i += 2) {
        const int high = digit(line[i]);
        const int low = digit(line[i + 1]);
        if (high < 0 || low < 0) {
            return line;  // not of ours: kept as it stands
        }
        exec_id += static_cast<char>(high * 16 + low);
    }
    return exec_id;
}

}  // namespace

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
        if (ids_.insert(ExecIdOf(text.substr(start, end - start))).second) {
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
    if (!ids_.insert(exec_id).second) {
        return std::nullopt;
    }
    text_ += Line(exec_id) + "\n";
    return WriteFileAtomically(path_, text_, 0600);
}

}  // namespace quillet
