#include "settings/form_email_setup.h"

#include "support/screen.h"

namespace quillet {
namespace {

constexpr const char* kSettingsTitle = "Quillet";

}  // namespace

formEmailSetup::formEmailSetup(SmtpTransport& transport, ProfileFile& settings_file, Screen& screen)
    : transport_(transport), settings_file_(settings_file), screen_(screen) {}

void formEmailSetup::Form_Load() {
    if (const auto error = INIfileRead()) {
        screen_.ShowMessage("The settings could not be read: " + *error, kSettingsTitle,
                            MessageIcon::Exclamation);
    }
}

void formEmailSetup::Form_Unload() {
    if (const auto error = INIfileWrite()) {
        screen_.ShowMessage("The settings could not be saved: " + *error, kSettingsTitle,
                            MessageIcon::Critical);
    }
}

void formEmailSetup::LogMessage(const std::string& text) {
    lblLog.SetCaption(text);
}

}  // namespace quillet
