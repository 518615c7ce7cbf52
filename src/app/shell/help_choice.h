// Which help to open for a window: the compiled help file when the desktop has a program for
// it, else that window's page of the HTML help, else a message saying what was looked for.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/shell/program_files.h"

namespace quillet {

struct HelpPlaces {
    std::string help_file;                  // Quillet.chm (HelpFilePath)
    std::vector<std::string> page_folders;  // the HTML pages' folders, the first one first
};

// The help file as HelpFilePath finds it, and the pages' folders: "help" beside the
// executable, then "help" in the installed documentation folder (when there is one).
HelpPlaces FindHelpPlaces(const std::string& executable_path, const InstalledFolders& installed,
                          const std::function<bool(const std::string&)>& exists);

// Exactly one of the two is set: the file to hand to the desktop, or the message to show.
struct HelpChoice {
    std::string open;
    std::string message;
};

// For the page `page` (a file name of the HTML help, e.g. "setup.html"): the help file when it
// exists and `help_file_opens` (the desktop has a program for it); else the page in the first
// folder where `exists` finds it; else "Help file not found: <help file>" when the help file is
// missing too, or a message naming the help file and every page looked for when it is there but
// nothing opens it.
HelpChoice ChooseHelp(const HelpPlaces& places, const std::string& page, bool help_file_opens,
                      const std::function<bool(const std::string&)>& exists);

}  // namespace quillet
