// Order mails that waited, sent together as one mail when the user asks for it: the lines in
// the order of their orders, under a subject that names the orders, to the same recipients.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/outbox/outbox_entry.h"

namespace quillet {

// The subject of an order's mail is this and its order id.
inline constexpr std::string_view kOrderSubject = "CVT order # ";
// The most mails that go together as one.
inline constexpr size_t kMostMerged = 100;

// Whether `entry` may go together with others: an order's mail, composed, without an
// attachment, that no recipient has yet.
bool Mergeable(const OutboxEntry& entry);
// Whether `next` may go in the same mail as `first`, which is Mergeable: it is too, and goes to
// the same recipients.
bool MergesWith(const OutboxEntry& first, const OutboxEntry& next);

// The subject of the mail of the orders `order_ids` (two or more, oldest first): "CVT order #
// 77 and 78", "CVT order # 77, 78 and 12 more".
std::string MergedSubject(const std::vector<std::string>& order_ids);
// The text of the mail of `bodies` (their lines, oldest first), after `first_line` (empty or
// ending in a line end): each body on lines of its own, in their order.
std::string MergedBody(const std::string& first_line, const std::vector<std::string>& bodies);
// The left part of the merged mail's Message-ID (SendRequest::message_id_left), made from its
// first mail's and how many go with it, so that a run that merges the same mails again makes
// the same one; empty (a new one) when the first mail has none.
std::string MergedMessageIdLeft(const OutboxEntry& first, size_t count);

}  // namespace quillet
