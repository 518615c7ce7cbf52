// The mail-server presets of the setup dialog's template list.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

struct ServerTemplate {
    std::string TemplateName;  // the entry's caption
    std::string TemplateServer;
    std::string TemplatePort;
    int32_t TemplateSSL = 0;   // state for chkSSL
    int32_t TemplateAuth = 0;  // state for chkAuthRequired
    std::string TemplateAccount;
    std::string TemplatePassword;
};

// The number of the "Custom" template, the last one.
inline constexpr int kCustomTemplate = 6;

// The number (1 to TemplateCount) of the first template whose server equals `server`,
// ignoring letter case and without trimming; kCustomTemplate when none does. Reads the
// program-wide table.
int MatchingTemplate(const std::string& server);

}  // namespace quillet
