// An outbox entry as the bytes of its file.
//
// A header of "Name: value" lines (LF ends), a blank line, then the subject, the body, the
// attachment's bytes and the message back to back, each as long as its header says:
//   Quillet-Outbox: 1
//   Id, Order, Created, State (waiting or failed), Attempts, Reason
//   Mail-From, and one Rcpt-To per recipient (only with a message)
//   Subject-Bytes, Body-Bytes, and Message-Bytes (only with a message)
//   Message-Id-Left and In-Reply-To (each only when the entry has one; entries written before
//   In-Reply-To existed read as following no mail)
//   one Delivered-Rcpt per recipient that has the mail already (none in files of earlier runs)
//   Attachment-Name, Attachment-Type, Attachment-Bytes (only with an attachment; an entry
//   written before attachments were kept has none, and reads as it always did)
//   one Send-To per recipient entry of its own (only when it has them; older entries go to the
//   settings' recipients)
// Line breaks in the one-line values (order id, reason, Message-IDs, the attachment's name and
// type) are written as blanks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/outbox/outbox_entry.h"

namespace quillet {

std::string EncodeOutboxEntry(const OutboxEntry& entry);

// The entry the bytes hold; empty when they are not one (a missing or unknown header, a
// number that does not read, lengths that do not add up to the rest exactly). Never throws.
std::optional<OutboxEntry> DecodeOutboxEntry(std::string_view bytes);

}  // namespace quillet
