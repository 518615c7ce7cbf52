// Where this run of the program keeps its settings and finds its help.
#pragma once

#include <string>

#include "app/shell/help_choice.h"
#include "app/shell/program_files.h"
#include "support/result.h"

namespace quillet {

struct ProgramPlaces {
    std::string settings_file;
    RunFiles files;  // every file that follows from the settings file (and --fix-config)
    std::string settings_folder;  // installed: the folder to make first (CreateSettingsFolder)
    HelpPlaces help;              // the help file and the HTML pages
};

// For the executable at `executable_path` (canonical, as Qt gives it) and the --settings
// option (empty when not given). Installed means lying in the binary folder compiled in; with
// QUILLET_TEST_INSTALL_ROOT set (tests that unpack the package there), in that folder under
// the root. Fails when there is no place for the settings at all: the program cannot run.
Result<ProgramPlaces> FindProgramPlaces(const std::string& executable_path,
                                        const std::string& settings_option,
                                        const std::string& fix_config_option = {});

}  // namespace quillet
