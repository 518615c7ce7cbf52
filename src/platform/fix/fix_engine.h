// The FIX engine (QuickFIX) behind a plain interface: the sessions of one QuickFIX session
// settings file, initiators and acceptors alike, each with its message store and log on disk.
// This header includes no QuickFIX header and is plain C++14, for QuickFIX's headers build only
// as C++14; nothing of QuickFIX, its exceptions included, crosses it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/orders/fix_report_fields.h"

namespace quillet {

struct FixEngineConfig {
    std::string settings_text;      // QuickFIX's session settings, as their file holds them
    std::string store_folder;       // FileStorePath and FileLogPath, unless the file names them
    std::string dictionary_folder;  // FIX42.xml and FIX44.xml, unless the file names one
};

// Told on the engine's own threads, one call at a time; none may call back into the engine.
struct FixEngineEvents {
    // A session ("FIX.4.4:QUILLET->BROKER") logged on.
    std::function<void(const std::string& session)> logged_on;
    // A session that was logged on logged out, or its connection was lost.
    std::function<void(const std::string& session)> logged_out;
    // An execution report, valid for the session's data dictionary. `day` names the session's
    // day: the creation time of its message store, which QuickFIX resets when a new period of
    // the session's schedule begins, and at a logon, logout or disconnect too when the file asks
    // (ResetOnLogon, ResetOnLogout, ResetOnDisconnect); SameDay tells whether two name one day.
    // `seq` is the report's MsgSeqNum (34). The engine counts the report as received once this
    // returns, so it may wait until the report is handled; what is not handled by the engine's
    // end is named to Stop. What it gives back, when not empty, goes into the session's log.
    std::function<std::string(const std::string& session, const std::string& day, int seq,
                              const FixReportFields& report)>
        report;
};

class FixEngine {
  public:
    // Reads `config.settings_text` and starts connecting (initiators) and listening (acceptors)
    // on threads of its own; returns at once. Every connection is bounded as FixFrameGuard
    // says, by MaxMessageSize of the file's [DEFAULT] (bytes; 1 MiB when unsaid); one that
    // breaks the bounds is dropped, with the reason on standard error and in its session's log.
    // Gives no engine and the reason in `error` when the file cannot be read or QuickFIX refuses it
    // (a missing setting, a dictionary it cannot read).
    static std::unique_ptr<FixEngine> Start(const FixEngineConfig& config, FixEngineEvents events,
                                            std::string& error);
    // Tells, for a session, the MsgSeqNum of its first report not handled; 0 when none is.
    using FirstUnhandled = std::function<int(const std::string& session)>;
    // Logs every session out (waiting a few seconds at most for the counterparty) and stops.
    // Then each session for which `first_unhandled` names a report expects that MsgSeqNum next
    // (kept in its store), so that the counterparty sends that report and those after it again
    // after the next logon. No events are told after this; the second call does nothing.
    void Stop(const FirstUnhandled& first_unhandled);
    // Stop, with every report handled.
    ~FixEngine();
    FixEngine(const FixEngine&) = delete;
    FixEngine& operator=(const FixEngine&) = delete;

    // "FIX.4.4:QUILLET->BROKER, ..." the sessions it runs.
    const std::string& Sessions() const;

    // Whether two days of `session`, as `report` names them, fall in one period of the session's
    // schedule (StartTime and EndTime, StartDay and EndDay, UseLocalTime), by QuickFIX's own
    // reckoning of when a new session day begins. The same text is always the same day; a text
    // that is no time stamp, or a session the engine does not run, gives false. Any thread.
    bool SameDay(const std::string& session, const std::string& day1,
                 const std::string& day2) const;

    class Impl;

  private:
    explicit FixEngine(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillet
