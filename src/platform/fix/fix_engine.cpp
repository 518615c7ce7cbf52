// The one file that includes QuickFIX. Everything QuickFIX throws is caught here.
#include "platform/fix/fix_engine.h"

#include "platform/fix/fix_frame_guard.h"

#include <quickfix/Application.h>
#include <quickfix/FileLog.h>
#include <quickfix/FileStore.h>
#include <quickfix/Session.h>
#include <quickfix/SessionSettings.h>
#include <quickfix/SocketAcceptor.h>
#include <quickfix/SocketInitiator.h>
#include <quickfix/TimeRange.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

namespace quillet {
namespace {

// The longest message, and the most bytes before one, a counterparty may send ([DEFAULT]).
const std::string kMaxMessageSize = "MaxMessageSize";

// What Quillet adds to each session when the file says nothing of it: the store and log beside
// the file, its own dictionaries, and leave to pass the fields those do not describe.
FIX::SessionSettings WithOurDefaults(const FIX::SessionSettings& user,
                                     const FixEngineConfig& config) {
    const auto fill = [](FIX::Dictionary& settings, const std::string& key,
                         const std::string& value) {
        if (!settings.has(key)) {
            settings.setString(key, value);
        }
    };
    // The engine's own log (not a session's) takes its folder from the defaults.
    FIX::Dictionary defaults = user.get();
    fill(defaults, FIX::FILE_STORE_PATH, config.store_folder + "/store");
    fill(defaults, FIX::FILE_LOG_PATH, config.store_folder + "/log");
    FIX::SessionSettings ours;
    ours.set(defaults);
    for (const FIX::SessionID& id : user.getSessions()) {
        FIX::Dictionary session = user.get(id);
        const auto fill_in = [&](const std::string& key, const std::string& value) {
            fill(session, key, value);
        };
        fill_in(FIX::FILE_STORE_PATH, defaults.getString(FIX::FILE_STORE_PATH));
        fill_in(FIX::FILE_LOG_PATH, defaults.getString(FIX::FILE_LOG_PATH));
        const std::string& version = id.getBeginString().getValue();
        if (version == "FIX.4.2" || version == "FIX.4.4") {
            fill_in(FIX::DATA_DICTIONARY,
                    config.dictionary_folder + "/FIX4" + version.substr(6) + ".xml");
        }
        fill_in(FIX::ALLOW_UNKNOWN_MSG_FIELDS, "Y");
        fill_in(FIX::VALIDATE_USER_DEFINED_FIELDS, "N");
        ours.set(id, session);
    }
    return ours;
}

// The bounds of every FIX connection of the program (see FixFrameGuard), and why the last one
// that broke them was dropped, for the log of its session.
struct Guards {
    std::mutex mutex;
    size_t max_message_bytes = FixFrameGuard::kDefaultMaxMessageBytes;
    std::map<int, FixFrameGuard> by_socket;
    std::string dropped;
};

Guards& TheGuards() {
    static Guards guards;
    return guards;
}

}  // namespace
}  // namespace quillet

// QuickFIX reads its plain TCP connections through FIX::socket_recv; this definition, linked
// into the program, takes the place of the library's own (which is recv alone), so that every
// byte a counterparty sends passes a FixFrameGuard. A connection that breaks its bounds reads as
// failed (EMSGSIZE): QuickFIX drops it, and the reason goes to standard error and, once the
// session has logged out, to its log.
namespace FIX {
ssize_t socket_recv(int s, char* buf, size_t length) {
    const ssize_t got = ::recv(s, buf, length, 0);
    quillet::Guards& guards = quillet::TheGuards();
    std::lock_guard<std::mutex> lock(guards.mutex);
    if (got <= 0) {
        guards.by_socket.erase(s);
        return got;
    }
    auto guard = guards.by_socket.find(s);
    if (guard == guards.by_socket.end()) {
        guard = guards.by_socket.emplace(s, quillet::FixFrameGuard(guards.max_message_bytes)).first;
    }
    const std::string refusal = guard->second.Take(buf, static_cast<size_t>(got));
    if (refusal.empty()) {
        return got;
    }
    guards.by_socket.erase(guard);
    guards.dropped = "connection dropped: " + refusal;
    std::fprintf(stderr, "FIX %s\n", guards.dropped.c_str());
    errno = EMSGSIZE;
    return -1;
}
}  // namespace FIX

namespace quillet {
namespace {

bool HasSessionsOfType(const FIX::SessionSettings& settings, const std::string& type) {
    for (const FIX::SessionID& id : settings.getSessions()) {
        const FIX::Dictionary& session = settings.get(id);
        if (session.has(FIX::CONNECTION_TYPE) && session.getString(FIX::CONNECTION_TYPE) == type) {
            return true;
        }
    }
    return false;
}

// A session's schedule, read as QuickFIX reads it for the session: StartTime and EndTime, StartDay
// and EndDay (a week) when both are set, in UTC unless UseLocalTime.
FIX::TimeRange Schedule(const FIX::Dictionary& session) {
    const FIX::UtcTimeOnly start =
        FIX::UtcTimeOnlyConvertor::convert(session.getString(FIX::START_TIME));
    const FIX::UtcTimeOnly end =
        FIX::UtcTimeOnlyConvertor::convert(session.getString(FIX::END_TIME));
    int start_day = -1;
    int end_day = -1;
    try {
        start_day = session.getDay(FIX::START_DAY);
        end_day = session.getDay(FIX::END_DAY);
    } catch (const FIX::ConfigError&) {  // not set
    }
    if (session.has(FIX::USE_LOCAL_TIME) && session.getBool(FIX::USE_LOCAL_TIME)) {
        return FIX::TimeRange(
            FIX::LocalTimeOnly(start.getHour(), start.getMinute(), start.getSecond()),
            FIX::LocalTimeOnly(end.getHour(), end.getMinute(), end.getSecond()), start_day,
            end_day);
    }
    return FIX::TimeRange(start, end, start_day, end_day);
}

std::string Field(const FIX::FieldMap& message, int tag) {
    return message.isSetField(tag) ? message.getField(tag) : std::string();
}

FixReportFields ReportFields(const FIX::Message& message) {
    FixReportFields report;
    report.ExecType = Field(message, FIX::FIELD::ExecType);
    report.ExecID = Field(message, FIX::FIELD::ExecID);
    report.OrderID = Field(message, FIX::FIELD::OrderID);
    report.ClOrdID = Field(message, FIX::FIELD::ClOrdID);
    report.Side = Field(message, FIX::FIELD::Side);
    report.OrdType = Field(message, FIX::FIELD::OrdType);
    report.OrderQty = Field(message, FIX::FIELD::OrderQty);
    report.Price = Field(message, FIX::FIELD::Price);
    report.StopPx = Field(message, FIX::FIELD::StopPx);
    report.Symbol = Field(message, FIX::FIELD::Symbol);
    report.SecurityID = Field(message, FIX::FIELD::SecurityID);
    report.SecurityExchange = Field(message, FIX::FIELD::SecurityExchange);
    report.Account = Field(message, FIX::FIELD::Account);
    report.Text = Field(message, FIX::FIELD::Text);
    report.LastQty = Field(message, FIX::FIELD::LastQty);
    report.LastPx = Field(message, FIX::FIELD::LastPx);
    report.CumQty = Field(message, FIX::FIELD::CumQty);
    report.LeavesQty = Field(message, FIX::FIELD::LeavesQty);
    report.OrdRejReason = Field(message, FIX::FIELD::OrdRejReason);
    return report;
}

}  // namespace

class FixEngine::Impl final : public FIX::Application {
  public:
    Impl(const FIX::SessionSettings& settings, FixEngineEvents events)
        : settings_(settings), events_(std::move(events)), stores_(settings_), logs_(settings_) {
        for (const FIX::SessionID& id : settings_.getSessions()) {
            sessions_ += (sessions_.empty() ? "" : ", ") + id.toString();
        }
        if (HasSessionsOfType(settings_, "initiator")) {
            initiator_.reset(new FIX::SocketInitiator(*this, stores_, settings_, logs_));
        }
        if (HasSessionsOfType(settings_, "acceptor")) {
            acceptor_.reset(new FIX::SocketAcceptor(*this, stores_, settings_, logs_));
        }
        if (!initiator_ && !acceptor_) {
            throw FIX::ConfigError("no session has ConnectionType initiator or acceptor");
        }
        // QuickFIX has taken each session's schedule by now, or refused it.
        for (const FIX::SessionID& id : settings_.getSessions()) {
            schedules_.emplace(id.toString(), Schedule(settings_.get(id)));
        }
        if (initiator_) {
            initiator_->start();
        }
        if (acceptor_) {
            acceptor_->start();
        }
    }

    ~Impl() override { Stop({}); }

    void Stop(const FirstUnhandled& first_unhandled) {
        if (std::exchange(stopped_, true)) {
            return;
        }
        // A Logout to each counterparty, a short while for its answer, then the threads end.
        try {
            std::set<FIX::SessionID> ids = settings_.getSessions();
            for (const FIX::SessionID& id : ids) {
                if (FIX::Session* session = FIX::Session::lookupSession(id)) {
                    session->logout();
                }
            }
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (std::chrono::steady_clock::now() < until && AnyLoggedOn(ids)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (initiator_) {
                initiator_->stop(true);
            }
            if (acceptor_) {
                acceptor_->stop(true);
            }
            // The sessions live on until their initiator or acceptor goes.
            for (const FIX::SessionID& id : ids) {
                FIX::Session* session = FIX::Session::lookupSession(id);
                const int first = first_unhandled ? first_unhandled(id.toString()) : 0;
                if (session != nullptr && first > 0 && first < session->getExpectedTargetNum()) {
                    session->setNextTargetMsgSeqNum(first);
                    session->getLog()->onEvent("reports from " + std::to_string(first) +
                                               " on were not handled: asked for again at the "
                                               "next logon");
                }
            }
        } catch (...) {  // nothing of QuickFIX's leaves the program's end
        }
    }

    const std::string& sessions() const { return sessions_; }

    bool SameDay(const std::string& session, const std::string& day1,
                 const std::string& day2) const {
        if (day1 == day2) {
            return true;
        }
        const auto found = schedules_.find(session);
        if (found == schedules_.end()) {
            return false;
        }
        try {
            FIX::TimeRange schedule = found->second;  // its tests are not const
            return schedule.isInSameRange(FIX::UtcTimeStampConvertor::convert(day1),
                                          FIX::UtcTimeStampConvertor::convert(day2));
        } catch (...) {  // no time stamp
            return false;
        }
    }

  private:
    static bool AnyLoggedOn(const std::set<FIX::SessionID>& ids) {
        for (const FIX::SessionID& id : ids) {
            FIX::Session* session = FIX::Session::lookupSession(id);
            if (session != nullptr && session->isLoggedOn()) {
                return true;
            }
        }
        return false;
    }

    void onCreate(const FIX::SessionID&) override {}
    void onLogon(const FIX::SessionID& id) override {
        std::lock_guard<std::mutex> lock(mutex_);
        Tell(events_.logged_on, id.toString());
    }
    void onLogout(const FIX::SessionID& id) override {
        {
            Guards& guards = TheGuards();
            std::lock_guard<std::mutex> lock(guards.mutex);
            FIX::Session* session = FIX::Session::lookupSession(id);
            if (!guards.dropped.empty() && session != nullptr) {
                session->getLog()->onEvent(guards.dropped);
            }
            guards.dropped.clear();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        Tell(events_.logged_out, id.toString());
    }
    void toAdmin(FIX::Message&, const FIX::SessionID&) override {}
// QuickFIX's interface declares dynamic exception specifications, which its overrides repeat.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated"
    void toApp(FIX::Message&, const FIX::SessionID&) throw(FIX::DoNotSend) override {}
    void fromAdmin(const FIX::Message&,
                   const FIX::SessionID&) throw(FIX::FieldNotFound, FIX::IncorrectDataFormat,
                                                FIX::IncorrectTagValue, FIX::RejectLogon) override {
    }

    // A drop copy carries execution reports; any other message is refused as unsupported.
    void fromApp(const FIX::Message& message,
                 const FIX::SessionID& id) throw(FIX::FieldNotFound, FIX::IncorrectDataFormat,
                                                 FIX::IncorrectTagValue,
                                                 FIX::UnsupportedMessageType) override {
        if (Field(message.getHeader(), FIX::FIELD::MsgType) != "8") {
            throw FIX::UnsupportedMessageType();
        }
        FIX::Session* session = FIX::Session::lookupSession(id);
        std::string note;
        try {
            std::lock_guard<std::mutex> lock(mutex_);
            const std::string day =
                session == nullptr
                    ? std::string()
                    : FIX::UtcTimeStampConvertor::convert(session->getStore()->getCreationTime());
            if (events_.report) {
                const std::string seq = Field(message.getHeader(), FIX::FIELD::MsgSeqNum);
                note = events_.report(id.toString(), day, seq.empty() ? 0 : std::stoi(seq),
                                      ReportFields(message));
            }
        } catch (const std::exception& error) {
            note = std::string("the report could not be handled: ") + error.what();
        }
        if (!note.empty() && session != nullptr) {
            session->getLog()->onEvent(note);
        }
    }
#pragma GCC diagnostic pop

    static void Tell(const std::function<void(const std::string&)>& event,
                     const std::string& session) {
        try {
            if (event) {
                event(session);
            }
        } catch (...) {  // the engine's thread goes on
        }
    }

    FIX::SessionSettings settings_;
    FixEngineEvents events_;
    FIX::FileStoreFactory stores_;
    FIX::FileLogFactory logs_;
    std::unique_ptr<FIX::SocketInitiator> initiator_;
    std::unique_ptr<FIX::SocketAcceptor> acceptor_;
    std::mutex mutex_;  // the initiator's thread and the acceptor's, one call at a time
    std::string sessions_;
    std::map<std::string, FIX::TimeRange> schedules_;  // by session; not changed once running
    bool stopped_ = false;
};

FixEngine::FixEngine(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

FixEngine::~FixEngine() = default;

void FixEngine::Stop(const FirstUnhandled& first_unhandled) {
    impl_->Stop(first_unhandled);
}

const std::string& FixEngine::Sessions() const {
    return impl_->sessions();
}

bool FixEngine::SameDay(const std::string& session, const std::string& day1,
                        const std::string& day2) const {
    return impl_->SameDay(session, day1, day2);
}

std::unique_ptr<FixEngine> FixEngine::Start(const FixEngineConfig& config, FixEngineEvents events,
                                            std::string& error) {
    try {
        std::istringstream text(config.settings_text);
        const FIX::SessionSettings user(text);
        if (user.get().has(kMaxMessageSize)) {
            const int max = user.get().getInt(kMaxMessageSize);
            if (max <= 0) {
                throw FIX::ConfigError(kMaxMessageSize + " must be a number of bytes above 0");
            }
            std::lock_guard<std::mutex> lock(TheGuards().mutex);
            TheGuards().max_message_bytes = static_cast<size_t>(max);
        }
        std::unique_ptr<Impl> impl(new Impl(WithOurDefaults(user, config), std::move(events)));
        return std::unique_ptr<FixEngine>(new FixEngine(std::move(impl)));
    } catch (const std::exception& refused) {
        error = refused.what();
    } catch (...) {
        error = "QuickFIX refused the settings";
    }
    return nullptr;
}

}  // namespace quillet
