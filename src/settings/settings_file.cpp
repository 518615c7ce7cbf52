// Moving the live settings between the dialog's controls and the settings file.
#include <algorithm>
#include <string>
#include <variant>

#include "mail/recipient_rules.h"
#include "settings/form_email_setup.h"
#include "settings/profile_file.h"
#include "settings/stored_settings.h"
#include "support/number_text.h"
#include "support/trim.h"

namespace quillet {
namespace {

// The stored settings but the recipients, in the order the file keeps them. A text is stored
// as it stands, a check state as its number.
struct StoredSetting {
    const StoredKey& key;
    std::variant<TextBox formEmailSetup::*, CheckBox formEmailSetup::*> control;
};
const StoredSetting kStoredSettings[] = {
    {stored::kDisplayName, &formEmailSetup::txtDisplayName},
    {stored::kEmail, &formEmailSetup::txtEmail},
    {stored::kServer, &formEmailSetup::txtSMTPserver},
    {stored::kPort, &formEmailSetup::txtPort},
    {stored::kSsl, &formEmailSetup::chkSSL},
    {stored::kAuthRequired, &formEmailSetup::chkAuthRequired},
    {stored::kAccountName, &formEmailSetup::txtAccountName},
    {stored::kPassword, &formEmailSetup::txtPassword},
    {stored::kHttp, &formEmailSetup::chkHttp},
    {stored::kHttpPort, &formEmailSetup::txtHttpPort},
    {stored::kTokenCommand, &formEmailSetup::txtTokenCommand},
    {stored::kPerMinute, &formEmailSetup::txtPerMinute},
    {stored::kPerDay, &formEmailSetup::txtPerDay},
    {stored::kMergeWaiting, &formEmailSetup::chkMergeWaiting},
};

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
    return ReadStoredValue(services_.settings_file, key).value_or("");
}

void formEmailSetup::INIfileWriteOneItem(const std::string& key, const std::string& value) {
    const std::string trimmed(TrimSpaces(value));
    StageStoredValue(services_.settings_file, key,
                     trimmed.empty() ? std::nullopt : std::optional<std::string_view>(trimmed));
}

Result<> formEmailSetup::INIfileRead() {
    Result<> loaded = services_.settings_file.Load();
    for (const StoredSetting& setting : kStoredSettings) {
        const std::string stored = INIfileReadOneItem(std::string(setting.key.name));
        if (const auto* text = std::get_if<TextBox formEmailSetup::*>(&setting.control)) {
            (this->**text).SetText(stored);
        } else {
            (this->*std::get<CheckBox formEmailSetup::*>(setting.control))
                .SetValue(CheckState(stored));
        }
    }
    const int count = Count(INIfileReadOneItem(std::string(stored::kRecipientCount.name)));
    Rules.clear();
    for (int i = 1; i <= count; ++i) {
        lstSendTo.AddItem(INIfileReadOneItem(RecipientKey(i)));
        // A file written before rules existed has none: every recipient gets every mail.
        if (std::string rule = INIfileReadOneItem(RecipientRuleKey(i)); !rule.empty()) {
            Rules[lstSendTo.List(i - 1)] = RuleText(ReadRule(rule));
        }
    }
    if (!txtPassword.Text().empty()) {
        services_.settings_file.KeepPrivate();  // no keyring took it: the file is its keeper
    }
    return loaded;
}

Result<> formEmailSetup::INIfileWrite() {
    // Start from the file as it is now, so that lines written by others are kept.
    if (Result<> loaded = services_.settings_file.Load(); !loaded.ok()) {
        return loaded;
    }
    for (const StoredSetting& setting : kStoredSettings) {
        if (const auto* text = std::get_if<TextBox formEmailSetup::*>(&setting.control)) {
            INIfileWriteOneItem(std::string(setting.key.name), (this->**text).Text());
        } else {
            const CheckBox& box = this->*std::get<CheckBox formEmailSetup::*>(setting.control);
            INIfileWriteOneItem(std::string(setting.key.name), std::to_string(box.Value()));
        }
    }
    INIfileWriteOneItem(std::string(stored::kPassword.name),
                        StoredPassword());  // empty when the keyring has it
    const int old_count = Count(INIfileReadOneItem(std::string(stored::kRecipientCount.name)));
    for (int i = 1; i <= old_count; ++i) {
        INIfileWriteOneItem(RecipientKey(i), "");
        INIfileWriteOneItem(RecipientRuleKey(i), "");
    }
    INIfileWriteOneItem(std::string(stored::kRecipientCount.name),
                        std::to_string(lstSendTo.ListCount()));
    for (int i = 1; i <= lstSendTo.ListCount(); ++i) {
        INIfileWriteOneItem(RecipientKey(i), lstSendTo.List(i - 1));
        const auto rule = Rules.find(lstSendTo.List(i - 1));
        INIfileWriteOneItem(RecipientRuleKey(i), rule == Rules.end() ? "" : rule->second);
    }
    return services_.settings_file.Save();
}

}  // namespace quillet
