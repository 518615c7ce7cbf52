// The program-wide state, all of it in one place. Only the user-interface thread touches it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/server_templates.h"

namespace quillet {

struct ProgramWide {
    // The subject and body of the next message, set by whoever asks EmailReport to mail.
    std::string EmailSubject;
    std::string EmailBody;

    // The mail-server presets, template i at Templates[i - 1], made anew at every load of the
    // setup dialog.
    std::vector<ServerTemplate> Templates;
    int32_t TemplateCount = 0;

    // Whether the latest account search copied an account into the setup dialog.
    bool AccountSelected = false;
};

// The one instance, empty at start.
ProgramWide& Program();

}  // namespace quillet
