// Whether the live settings are complete enough to mail with.
#pragma once

#include <optional>
#include <string>

#include "mail/mail_settings.h"
#include "mail/send_plain_text_mail.h"
#include "support/cancel_flag.h"
#include "support/result.h"

namespace quillet {

// Fails with the first problem of `settings`, in the order a user fixes them, as the status line
// shows it ("Error: ..."). A port that is no whole number within 32 bits
// is a problem of its own: it would otherwise wrap round to another port. So is a server name
// that the transport could not use (UsableServerHost): no attempt could ever succeed. With a
// token command, the password may be empty.
Result<> CheckMailSettings(const MailSettings& settings);

// Why `settings` are not set up for mail at all, as a phrase: "the outgoing mail server (SMTP)
// name is empty" when the server is blank, else "the 'Send E-mail To' list is empty" when there
// are no recipients; none once both are given (what else is wrong is CheckMailSettings').
std::optional<std::string> MailNotSetUp(const MailSettings& settings);

// The recipients' bare addresses (EnvelopeAddress) joined by commas, in list order, for
// SendRequest::bcc. For settings that CheckMailSettings passes, SplitAddressList gives them
// back one for one: a mailbox holds a comma only inside the quoted string of its local part.
std::string JoinRecipients(const MailSettings& settings);

// The one SMTP request of `settings`, which CheckMailSettings must pass: server, port, security,
// login (password or token command), sender and recipients. Order mails, retries and the setup
// dialog's test message all go through it; the caller adds the subject and the body.
SendRequest MailRequestFor(const MailSettings& settings);

// Delivers `mail` again over the server, port, security and login of `settings` as they are
// now, and from and to their sender and recipients: a refused address mended in the settings
// mends the mails that wait. The message keeps its Date, Message-ID and text; its From line
// follows the sender. The result's `composed` is the mail as it was sent. Settings that
// CheckMailSettings refuses give SendFailure::kInvalidSettings with that error as the reason, a
// permanent failure, and nothing is sent. The recipients in `already` (bare addresses, as an
// envelope has them) have the mail from an earlier attempt and are left out; when nobody is
// left, the failure is kNoRecipient.
SendResult RetryMail(SmtpTransport& transport, const MailSettings& settings,
                     const ComposedMail& mail, const std::vector<std::string>& already = {});

// Composes a message of `subject` and `body` with `settings` (ComposePlainTextMail), sending
// nothing; with `message_id_left`, under the Message-ID it makes, with `in_reply_to`, as a
// follower of that mail, and with `attachment`, sent with it (SendRequest). Settings errors as
// RetryMail's, with nothing composed.
SendResult ComposeWith(const MailSettings& settings, const std::string& subject,
                       const std::string& body, const std::string& message_id_left = {},
                       const std::string& in_reply_to = {},
                       const std::optional<MailAttachment>& attachment = std::nullopt);

// Composes a message of `subject` and `body` with `settings` as they are now, and sends it to
// their recipients; with `fresh_connection`, never over a connection kept from an earlier
// message; with `message_id_left`, under the Message-ID it makes; `cancel`, once set, ends the
// delivery under way; with `in_reply_to`, as a follower of that mail; with `attachment`, sent
// with it (SendRequest). Settings errors as RetryMail's.
SendResult ComposeAndSend(SmtpTransport& transport, const MailSettings& settings,
                          const std::string& subject, const std::string& body,
                          bool fresh_connection = false, const std::string& message_id_left = {},
                          CancelFlag cancel = {}, const std::string& in_reply_to = {},
                          const std::optional<MailAttachment>& attachment = std::nullopt);

}  // namespace quillet
