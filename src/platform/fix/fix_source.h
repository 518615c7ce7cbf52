// The FIX drop copy as a source of order events: the sessions of `quillet-fix.cfg` (QuickFIX's
// session settings) beside the settings file, or of the file --fix-config names. A logon is a
// Connect, a logout or a lost connection a Disconnect (once no session is logged on), and each
// execution report the order event of fix_report.h (New, Replaced, Canceled, a fill, a reject,
// an expiry), submitted to the program's one dispatcher on the user-interface thread. A report
// that makes no line is submitted as a ReportNotListed, for the journal to note it with why; one
// that would make a line but cannot is said on standard error too (and in a notice, by the desk). A
// report whose ExecID the session handled before that day is dropped (handled_exec_ids.h). A
// report's mail has a Message-ID made of its session, its day and its ExecID: one mailed again,
// where a kill left it open whether the first went out, carries the first one's. The store, the log
// and the ExecIDs are kept in `quillet-fix/` beside the session settings file.
//
// The engine counts a report as received only once the dispatcher has handled it (its line
// listed, its mail safe) or the source ends, and the ExecID is kept only then; the reports not
// handled by the end are asked for again at the next logon. So neither the end of the program
// nor a kill loses a report.
//
// No file (and none named): no session, state "off". A file that cannot be read or that QuickFIX
// refuses: no session either, state "off" with the reason, also on standard error.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "app/orders/order_dispatcher.h"
#include "platform/fix/fix_engine.h"
#include "platform/fix/handled_exec_ids.h"
#include "support/lifetime.h"

namespace quillet {

struct FixSourceConfig {
    std::string config_file;    // the session settings (RunFiles::fix_config)
    bool config_named = false;  // named on the command line: a missing one is an error
    std::string store_folder;   // the sessions' store and log (RunFiles::fix_store)
    std::string executable;     // the program; its dictionaries are beside it, else installed
    // How long the engine's thread waits for a report to be handled (its line listed, its mail
    // safe) before it takes the next message; a report not handled by the end is asked for
    // again at the next logon.
    std::chrono::milliseconds handling_wait{std::chrono::seconds(5)};
};

class FixSource {
  public:
    // Runs `task` on the user-interface thread, after those posted before; callable anywhere.
    using Post = std::function<void(std::function<void()> task)>;
    // The session's state ("logged on", "connecting", "off") and a sentence on it; told on the
    // user-interface thread, at construction first.
    using StateChanged = std::function<void(const std::string& state, const std::string& detail)>;

    // On the user-interface thread; `dispatcher` must outlive the source. Returns at once: the
    // engine connects on threads of its own.
    FixSource(OrderDispatcher& dispatcher, Post post, StateChanged state_changed,
              const FixSourceConfig& config);
    // Logs out and stops the sessions (a counterparty that does not answer is waited for 2 s);
    // the reports not handled are asked for again at the next logon.
    ~FixSource();
    FixSource(const FixSource&) = delete;
    FixSource& operator=(const FixSource&) = delete;

  private:
    void LoggedOn(const std::string& session);
    void LoggedOut(const std::string& session);
    // The reports posted to this thread and not yet handled, by session, and whether the source
    // ends; shared with the engine's threads, which wait here.
    struct Unhandled {
        std::mutex mutex;
        std::condition_variable handled;
        std::map<std::string, std::set<int>> seqs;
        bool ending = false;
        void Done(const std::string& session, int seq);
    };

    void Report(const std::string& session, const std::string& day, int seq,
                const std::string& exec_id, OrderEvent event);
    void TellState();

    OrderDispatcher& dispatcher_;
    Post post_;
    StateChanged state_changed_;
    std::string store_folder_;
    std::string sessions_;  // whom it talks to, for the detail
    std::set<std::string> logged_on_;
    std::map<std::string, HandledExecIds> handled_;                // by session
    std::set<std::pair<std::string, std::string>> in_dispatcher_;  // session, ExecID
    std::shared_ptr<Unhandled> unhandled_ = std::make_shared<Unhandled>();
    Lifetime lifetime_;  // posted tasks and the dispatcher's replies run only while it lives
    std::unique_ptr<FixEngine> engine_;  // last: stopped first
};

}  // namespace quillet
