// The outbox: order mails whose first attempt failed, kept until they are delivered, tried
// again in the background on a schedule, and shown to the user as they go.
//
// Lives on the user-interface thread; the attempts run on the mail worker's thread, each with
// the live mail settings as they are when it begins. At most one attempt per mail runs at a
// time. A mail is marked failed, and tried again only when the user asks (SendAgain) or changes
// the settings (RetryFailed), when an attempt fails in a way that trying again cannot mend
// (SendResult::permanent: a settings error, a refused login, an untrusted certificate, a 5xx
// reply to MAIL, RCPT or DATA), or when it is still undelivered `give_up` after its order.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/mail_worker.h"
#include "app/notifier.h"
#include "app/outbox_store.h"
#include "app/retry_schedule.h"
#include "mail/mail_settings.h"
#include "mail/smtp_transport.h"

namespace quillet {

// The most mails the outbox holds; a mail beyond it is refused (and shows as failed).
inline constexpr size_t kMaxOutboxEntries = 10000;

struct OutboxServices {
    OutboxStore& store;
    MailWorker& worker;
    SmtpTransport& transport;  // used on the worker's thread only
    Notifier& notifier;
    std::function<MailSettings()> live_settings;
    // Runs a task after a delay on the user-interface thread's event loop.
    std::function<void(std::chrono::milliseconds, std::function<void()>)> post_after;
    std::function<int64_t()> now_ms;  // milliseconds since 1970 (UTC)
    RetrySchedule schedule;
};

struct OutboxCounts {
    int32_t waiting = 0;
    int32_t failed = 0;
    int32_t delivered = 0;  // order mails delivered since start, first attempts included
};

class Outbox {
  public:
    // Told when the mail of an order line changes state; `detail` is the line's tip text.
    using LineChanged =
        std::function<void(size_t line, DeliveryState state, const std::string& detail)>;

    Outbox(OutboxServices services, LineChanged line_changed);
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Takes in the entries the store kept, and tries the waiting ones at once.
    void Start();

    // The first attempt's outcome for the mail of order line `line` (none for a mail that no
    // line shows). A delivered mail is counted; a failed one goes into the outbox (refused,
    // and failed, when it is full), and the user is told.
    void FirstAttempt(std::optional<size_t> line, const std::string& order_id,
                      const std::string& subject, const std::string& body,
                      const SendResult& result);

    // Every waiting mail at once (a test message got through).
    void RetryWaiting();
    // Every failed mail again (the settings changed).
    void RetryFailed();
    // The mail of order line `line` at once, waiting or failed; nothing when it has none.
    void SendAgain(size_t line);

    OutboxCounts Counts() const;

  private:
    struct Item {
        OutboxEntry entry;
        std::optional<size_t> line;
        int64_t next_ms = 0;  // when a waiting mail is tried next
        bool running = false;
    };

    void Keep(Item& item);
    void Attempt(Item& item);
    void AttemptDone(const std::string& id, SendResult result);
    void MarkFailed(Item& item, const std::string& reason);
    void ShowLine(const Item& item);
    void ScheduleWake();
    void Wake();
    void TellDelivered();
    std::string NewId();

    OutboxServices services_;
    LineChanged line_changed_;
    std::map<std::string, Item> items_;  // by id, so oldest first
    int32_t delivered_ = 0;
    int32_t refused_ = 0;               // mails the full outbox refused
    int32_t delivered_after_wait_ = 0;  // not yet told to the user
    uint64_t wake_generation_ = 0;
    uint32_t id_counter_ = 0;
};

}  // namespace quillet
