// The "Rules" dialog of one recipient: which order mails it gets (all, orders only, fills and
// rejects only, or a chosen set), for which accounts (Info6) and symbols, and in which form.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace quillet {

// Shows the dialog over `parent` for recipient `entry`, opened on `rule` (a RuleText), and
// returns when it is closed: the rule chosen as RuleText ("" for the default), or none when it
// was cancelled.
std::optional<std::string> AskRecipientRuleDialog(QWidget* parent, const std::string& entry,
                                                  const std::string& rule);

}  // namespace quillet
