#include "platform/standard_error_log.h"

#include <iostream>

namespace quillet {

void SayOnStandardError(std::string_view line) {
    std::cerr << "quillet: " << line << std::endl;
}

}  // namespace quillet
