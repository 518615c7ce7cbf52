// How fast the account may send: at most `per_minute` messages in any 60 s and `per_day`
// recipients in a local day (MailSettings; 0: no limit), and slower for a while once the server
// asked for it. Owned by the outbox, on its thread; the day's count is kept across runs by the
// outbox's store.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "app/outbox/outbox_store.h"
#include "mail/mail_settings.h"

namespace quillet {

// Whether a server's refusal asks for a slower pace: a 421 or 451 reply, or one with an
// enhanced code 4.7.x, whose words speak of rate ("too many", "rate", "throttl", any case).
bool SpeaksOfRate(const std::string& reply);

class SendPace {
  public:
    struct Wait {
        int64_t until_ms;    // when the mail may go
        std::string reason;  // "paced: 30 a minute", "daily limit of 500 recipients reached:
                             // goes at 00:00", "paced: the server asked for a slower pace"
    };

    // Takes the day's count kept by an earlier run.
    void Restore(const SentToday& kept) { today_ = kept; }
    const SentToday& Today() const { return today_; }

    // When a message to `recipients` may go at `now` under `limits`: empty, now. A message
    // never waits for a day that has not sent anything yet, however many recipients it has.
    std::optional<Wait> Before(const MailSettings& limits, size_t recipients, int64_t now);
    // The server took a message for `recipients` at `now`. True once a day: the count has just
    // reached 90 % of the daily limit.
    bool Sent(const MailSettings& limits, size_t recipients, int64_t now);
    // The server asked for a slower pace at `now`: nothing goes for a while (30 s, doubled at
    // each request up to 15 min, halved at each message taken since).
    void SlowDown(int64_t now);
    // Until when nothing goes, as the server asked; 0: no such wait.
    int64_t SlowUntil() const { return slow_until_ms_; }

  private:
    // The count of `now`'s day: a new day starts at 0.
    void StartDay(int64_t now);

    std::deque<int64_t> minute_;  // when the messages of the last 60 s went
    SentToday today_;
    std::string warned_day_;  // the day whose 90 % notice was given
    int64_t slow_until_ms_ = 0;
    int64_t slow_for_ms_ = 0;
};

}  // namespace quillet
