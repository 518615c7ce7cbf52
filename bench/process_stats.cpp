#include "process_stats.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace quillet::bench {

std::optional<double> CpuMilliseconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // The command name may hold blanks; the fields after it start with the state (field 3).
    const size_t name_end = text.rfind(')');
    if (name_end == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text.substr(name_end + 2));
    std::string field;
    double user_ticks = 0;
    double system_ticks = 0;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14) {
            user_ticks = std::stod(field);
        } else if (number == 15) {
            system_ticks = std::stod(field);
        }
    }
    if (!fields) {
        return std::nullopt;
    }
    return (user_ticks + system_ticks) * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<long long> StatusBytes(pid_t pid, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    const std::string prefix = field + ":";
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::stoll(line.substr(prefix.size())) * 1024;  // given in kB
        }
    }
    return std::nullopt;
}

}  // namespace quillet::bench
