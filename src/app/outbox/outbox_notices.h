// What the outbox tells the user of its mails through the desktop's notifications: the words
// of each notice. Every body is made of whole sentences: a reason (libcurl's, the server's or
// ours) becomes a sentence of its own, and what happens next is another.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "app/outbox/notifier.h"

namespace quillet {

// "order 701".
std::string OrderName(const std::string& order_id);

// `text` without blanks around it, as a sentence: a first letter a-z made capital, and a stop
// added when it ends without one (".", "!" or "?"). Empty for blank text; a sentence stays as
// it is.
std::string AsSentence(std::string_view text);

// The key of the one notice of an outage: the mails that wait for a retry, then that they
// got through.
inline constexpr const char* kWaitingNoticeKey = "waiting";

// The key of the critical notice of a mail marked failed, by its outbox id: withdrawn once
// that mail is delivered.
std::string FailedNoticeKey(const std::string& outbox_id);

// `count` (at least one) mails wait for a retry, the first that of `first_order_id`, which
// failed for `reason` and is tried again at `retry_at` ("14:05:09"). Under kWaitingNoticeKey.
Notice WaitingNotice(int count, const std::string& first_order_id, const std::string& reason,
                     const std::string& retry_at);
// A mail marked failed; `unsaved` is empty, or why the outbox could not keep it (it is then in
// memory only). Critical.
Notice FailedNotice(const std::string& order_id, const std::string& reason,
                    const std::string& unsaved);
// A mail the outbox refused, for `reason`: it is never sent. Critical.
Notice RefusedNotice(const std::string& order_id, const std::string& reason);
// A waiting mail the outbox could not keep, for `unsaved`; its write is tried again every
// `keep_retry`. Never says it "will be tried again".
Notice UnsavedNotice(const std::string& order_id, const std::string& unsaved,
                     std::chrono::milliseconds keep_retry);
// The mail of `order_id` reached the server, but the outbox could not forget its entry, for
// `why`: the next start would send it again. Critical.
Notice UnremovedNotice(const std::string& order_id, const std::string& why);
// The mails of `order_ids` (at least one) were lost at the end of the program. Critical.
Notice LostNotice(const std::vector<std::string>& order_ids);
// `count` (at least one) waiting mails reached the server, the first of them that of
// `first_order_id`.
Notice DeliveredNotice(int count, const std::string& first_order_id);

}  // namespace quillet
