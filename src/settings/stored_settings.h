// The settings file's layout, in one place: its one section, every key the program keeps there
// with the kind of its value and what a missing or unusable value reads as, and how a value is
// stored (key and value in the file's Base64 form, "$" for "=", as Base64EncodeForINI writes
// them). The setup dialog, the password's keeper and the program's own settings read and write
// through this; the file's format does not change by a byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/profile_file.h"

namespace quillet {

inline constexpr std::string_view kSettingsSection = "Quillet";

enum class StoredKind {
    kText,         // stored as it stands
    kCheck,        // a check state: 0, 1 or 2
    kWholeNumber,  // a whole number in decimal
};

struct StoredKey {
    std::string_view name;
    StoredKind kind;
    std::string_view fallback;  // what a missing or unusable value reads as
};

namespace stored {
// The mail settings, in the order the file keeps them.
inline constexpr StoredKey kDisplayName{"txtDisplayName", StoredKind::kText, ""};
inline constexpr StoredKey kEmail{"txtEmail", StoredKind::kText, ""};
inline constexpr StoredKey kServer{"txtSMTPserver", StoredKind::kText, ""};
inline constexpr StoredKey kPort{"txtPort", StoredKind::kText, ""};
inline constexpr StoredKey kSsl{"chkSSL", StoredKind::kCheck, "0"};
inline constexpr StoredKey kAuthRequired{"chkAuthRequired", StoredKind::kCheck, "0"};
inline constexpr StoredKey kAccountName{"txtAccountName", StoredKind::kText, ""};
// Empty while the desktop's keyring holds the password.
inline constexpr StoredKey kPassword{"txtPassword", StoredKind::kText, ""};
inline constexpr StoredKey kHttp{"chkHttp", StoredKind::kCheck, "0"};
inline constexpr StoredKey kHttpPort{"txtHttpPort", StoredKind::kText, ""};
inline constexpr StoredKey kTokenCommand{"txtTokenCommand", StoredKind::kText, ""};
inline constexpr StoredKey kPerMinute{"txtPerMinute", StoredKind::kText, ""};
inline constexpr StoredKey kPerDay{"txtPerDay", StoredKind::kText, ""};
inline constexpr StoredKey kMergeWaiting{"chkMergeWaiting", StoredKind::kCheck, "0"};
// How many recipients follow, each under RecipientKey(1 ... count).
inline constexpr StoredKey kRecipientCount{"lstSendTo.ListCount", StoredKind::kWholeNumber, "0"};
// The program's own settings, changed by its menus and commands only.
inline constexpr StoredKey kKeepInTray{"chkKeepInTray", StoredKind::kCheck, "0"};
inline constexpr StoredKey kHistoryDays{"HistoryDays", StoredKind::kWholeNumber, ""};
// The alarm and the daily summary (watch_settings.h): trading days as digits 1 (Monday) to 7,
// none when trading hours are off; times as HH:MM; an IANA time zone, empty for the system's.
inline constexpr StoredKey kTradingDays{"TradingDays", StoredKind::kText, ""};
inline constexpr StoredKey kTradingFrom{"TradingFrom", StoredKind::kText, ""};
inline constexpr StoredKey kTradingTo{"TradingTo", StoredKind::kText, ""};
inline constexpr StoredKey kTradingZone{"TradingZone", StoredKind::kText, ""};
inline constexpr StoredKey kSilenceMinutes{"AlertSilenceMinutes", StoredKind::kWholeNumber, "0"};
inline constexpr StoredKey kDisconnectAlert{"chkAlertDisconnect", StoredKind::kCheck, "1"};
inline constexpr StoredKey kSummaryAt{"SummaryAt", StoredKind::kText, ""};
// The local day (YYYY-MM-DD) whose summary was last handed to the outbox.
inline constexpr StoredKey kSummarySentDay{"SummarySentDay", StoredKind::kText, ""};
}  // namespace stored

// The key of the recipient at `position` (1 for the first): "File<position>".
std::string RecipientKey(int position);
// The key of the rule of the recipient at `position` (RuleText; missing: the default rule, all
// events in the full form): "Rule<position>".
std::string RecipientRuleKey(int position);

// The value stored under `key` in `file` as loaded, decoded; none when the file has no such key.
std::optional<std::string> ReadStoredValue(const ProfileFile& file, std::string_view key);

// Stages `value` under `key` in `file`, or the key's removal when there is none; the file
// changes at its next save.
void StageStoredValue(ProfileFile& file, std::string_view key,
                      std::optional<std::string_view> value);

}  // namespace quillet
