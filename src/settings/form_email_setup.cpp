#include "settings/form_email_setup.h"

namespace quillet {

formEmailSetup::formEmailSetup(SmtpTransport& transport, ProfileFile& settings_file)
    : transport_(transport), settings_file_(settings_file) {}

void formEmailSetup::LogMessage(const std::string& text) {
    lblLog.SetCaption(text);
}

}  // namespace quillet
