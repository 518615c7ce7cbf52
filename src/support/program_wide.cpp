#include "support/program_wide.h"

namespace quillet {

ProgramWide& Program() {
    static ProgramWide program;
    return program;
}

}  // namespace quillet
