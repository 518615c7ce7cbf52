#include "settings/form_email_setup.h"

namespace quillet {

formEmailSetup::formEmailSetup(SmtpTransport& transport) : transport_(transport) {}

void formEmailSetup::LogMessage(const std::string& text) { lblLog.SetCaption(text); }

}  // namespace quillet
