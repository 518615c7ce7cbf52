// Moving the live settings between the dialog's controls and the settings file.
#include <algorithm>
#include <string>
#include <variant>

#include "settings/form_email_setup.h"
#include "settings/profile_file.h"
#include "support/base64.h"
#include "support/number_text.h"
#include "support/trim.h"

namespace quillet {
namespace {

constexpr std::string_view kSection = "Quillet";
constexpr const char* kCountKey = "lstSendTo.ListCount";

// The stored settings but the recipients, by their keys, in the order the file keeps them. A
// text is stored as it stands, a check state as its number.
struct StoredSetting {
    const char* key;
    std::variant<TextBox formEmailSetup::*, CheckBox formEmailSetup::*> control;
};
constexpr StoredSetting kStoredSettings[] = {
    {"txtDisplayName", &formEmailSetup::txtDisplayName},
    {"txtEmail", &formEmailSetup::txtEmail},
    {"txtSMTPserver", &formEmailSetup::txtSMTPserver},
    {"txtPort", &formEmailSetup::txtPort},
    {"chkSSL", &formEmailSetup::chkSSL},
    {"chkAuthRequired", &formEmailSetup::chkAuthRequired},
    {"txtAccountName", &formEmailSetup::txtAccountName},
    {"txtPassword", &formEmailSetup::txtPassword},
    {"chkHttp", &formEmailSetup::chkHttp},
    {"txtHttpPort", &formEmailSetup::txtHttpPort},
    {"txtTokenCommand", &formEmailSetup::txtTokenCommand},
};

bool IsMissingMark(const std::string& text) {
    return text == "-1";
}

std::string FileKey(int index) {
    return "File" + std::to_string(index);
}

// A stored check state; anything but 0, 1 or 2 reads as cleared.
int16_t CheckState(const std::string& text) {
    const auto value = ReadWholeNumber(text).value_or(0);
    return value >= 0 && value <= 2 ? static_cast<int16_t>(value) : 0;
}

// A stored count, held within 0 and kMaxStoredRecipients.
int Count(const std::string& text) {
    return std::clamp(ReadWholeNumber(text).value_or(0), 0, kMaxStoredRecipients);
}

}  // namespace

std::string formEmailSetup::INIfileReadOneItem(const std::string& key) {
    // No stored form holds "-", so the fallback comes back only for a missing key.
    const std::string stored =
        services_.settings_file.GetString(kSection, Base64EncodeForINI(key), "-1");
    return IsMissingMark(stored) ? std::string() : Base64DecodeFromINI(stored);
}

void formEmailSetup::INIfileWriteOneItem(const std::string& key, const std::string& value) {
    const std::string stored = Base64EncodeForINI(TrimSpaces(value));
    if (stored.empty()) {
        services_.settings_file.SetString(kSection, Base64EncodeForINI(key), std::nullopt);
    } else {
        services_.settings_file.SetString(kSection, Base64EncodeForINI(key), stored);
    }
}

std::optional<std::string> formEmailSetup::INIfileRead() {
    auto error = services_.settings_file.Load();
    for (const StoredSetting& setting : kStoredSettings) {
        const std::string stored = INIfileReadOneItem(setting.key);
        if (const auto* text = std::get_if<TextBox formEmailSetup::*>(&setting.control)) {
            (this->**text).SetText(stored);
        } else {
            (this->*std::get<CheckBox formEmailSetup::*>(setting.control))
                .SetValue(CheckState(stored));
        }
    }
    const int count = Count(INIfileReadOneItem(kCountKey));
    for (int i = 1; i <= count; ++i) {
        lstSendTo.AddItem(INIfileReadOneItem(FileKey(i)));
    }
    if (!txtPassword.Text().empty()) {
        services_.settings_file.KeepPrivate();  // no keyring took it: the file is its keeper
    }
    return error;
}

std::optional<std::string> formEmailSetup::INIfileWrite() {
    // Start from the file as it is now, so that lines written by others are kept.
    if (auto error = services_.settings_file.Load()) {
        return error;
    }
    for (const StoredSetting& setting : kStoredSettings) {
        if (const auto* text = std::get_if<TextBox formEmailSetup::*>(&setting.control)) {
            INIfileWriteOneItem(setting.key, (this->**text).Text());
        } else {
            const CheckBox& box = this->*std::get<CheckBox formEmailSetup::*>(setting.control);
            INIfileWriteOneItem(setting.key, std::to_string(box.Value()));
        }
    }
    INIfileWriteOneItem("txtPassword", StoredPassword());  // empty when the keyring has it
    const int old_count = Count(INIfileReadOneItem(kCountKey));
    for (int i = 1; i <= old_count; ++i) {
        INIfileWriteOneItem(FileKey(i), "");
    }
    INIfileWriteOneItem(kCountKey, std::to_string(lstSendTo.ListCount()));
    for (int i = 1; i <= lstSendTo.ListCount(); ++i) {
        INIfileWriteOneItem(FileKey(i), lstSendTo.List(i - 1));
    }
    return services_.settings_file.Save();
}

}  // namespace quillet
