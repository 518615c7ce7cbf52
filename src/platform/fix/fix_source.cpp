#include "platform/fix/fix_source.h"

#include <sys/stat.h>

#include <QCryptographicHash>
#include <chrono>
#include <filesystem>
#include <iostream>

#include "app/orders/fix_report.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace quillet {
namespace {

// Our FIX42.xml and FIX44.xml: beside the program (a build folder), else the installed ones.
std::string DictionaryFolder(const std::string& executable) {
    const std::string beside = FolderOf(executable);
    std::error_code ignored;
    return std::filesystem::exists(beside + "/FIX44.xml", ignored) ? beside : QUILLET_FIX_DATADIR;
}

// A session's name as a file name: "FIX.4.4:A->B" gives "FIX.4.4_A-_B".
std::string FileName(std::string session) {
    for (char& c : session) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-';
        c = plain ? c : '_';
    }
    return session;
}

// What the Message-ID of a report's mail is made of: the same for the same report of a session's
// day, whichever run mails it. An ExecID is unique within the session's day only, so the day is
// part of it. 32 hexadecimal digits of a SHA-256, for no two reports to share one.
std::string ReportMessageIdLeft(const std::string& session, const std::string& day,
                                const std::string& exec_id) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const std::string* part : {&session, &day, &exec_id}) {
        hash.addData(QByteArray::number(static_cast<qulonglong>(part->size())) + ':');
        hash.addData(QByteArrayView(part->data(), static_cast<qsizetype>(part->size())));
    }
    return hash.result().toHex().left(32).toStdString();
}

// How long the engine's thread waits for a report to be handled before it lets the engine count
// it, short of the heartbeats' interval so that the session stays up while the window's thread is
// held (a message box); one not handled by the end is asked for again then all the same.
// The most a session settings file may hold.
constexpr size_t kMaxFixConfigBytes = 1024 * 1024;

}  // namespace

FixSource::FixSource(OrderDispatcher& dispatcher, Post post, StateChanged state_changed,
                     const FixSourceConfig& config)
    : dispatcher_(dispatcher), post_(std::move(post)), state_changed_(std::move(state_changed)) {
    const std::string& file = config.config_file;
    std::error_code error_code;
    if (!config.config_named && !std::filesystem::exists(file, error_code)) {
        state_changed_("off", "");
        return;
    }
    store_folder_ = config.store_folder;
    ::mkdir(store_folder_.c_str(), 0700);
    // What the engine's thread hands to this one runs only while the source lives.
    const auto on_ui = [post = post_,
                        back = lifetime_.Guard([this](const std::function<void(FixSource&)>& task) {
                            task(*this);
                        })](std::function<void(FixSource&)> task) {
        post([back, task = std::move(task)]() mutable { back(task); });
    };
    FixEngineEvents events;
    events.logged_on = [on_ui](const std::string& session) {
        on_ui([session](FixSource& source) { source.LoggedOn(session); });
    };
    events.logged_out = [on_ui](const std::string& session) {
        on_ui([session](FixSource& source) { source.LoggedOut(session); });
    };
    events.report = [on_ui, unhandled = unhandled_, handling_wait = config.handling_wait](
                        const std::string& session, const std::string& day, int seq,
                        const FixReportFields& report) {
        FixReportEvent mapped = OrderEventFromFixReport(report);
        // A report that makes no line is noted all the same, once, as one that makes one is.
        OrderEvent event =
            mapped.event ? std::move(*mapped.event) : OrderEvent(NotListedReport(report, mapped));
        {
            std::unique_lock lock(unhandled->mutex);
            unhandled->seqs[session].insert(seq);
            if (!unhandled->ending) {
                on_ui([session, day, seq, exec_id = report.ExecID,
                       event = std::move(event)](FixSource& source) mutable {
                    source.Report(session, day, seq, exec_id, std::move(event));
                });
                // The engine counts it once this returns: a kill before then loses nothing.
                unhandled->handled.wait_for(lock, handling_wait, [&] {
                    return unhandled->ending || !unhandled->seqs[session].contains(seq);
                });
            }
        }
        return std::move(mapped.why_none);
    };
    std::string refused;
    auto text = ReadRegularFile(file, kMaxFixConfigBytes);
    if (const auto* refusal = std::get_if<FileRefusal>(&text)) {
        refused = refusal->message;
    } else {
        engine_ = FixEngine::Start({std::move(std::get<std::string>(text)), store_folder_,
                                    DictionaryFolder(config.executable)},
                                   std::move(events), refused);
    }
    if (!engine_) {
        std::cerr << "quillet: no FIX drop copy, for " << file << " is refused: " << refused
                  << '\n';
        state_changed_("off", file + " is refused: " + refused);
        return;
    }
    sessions_ = engine_->Sessions();
    TellState();
}

FixSource::~FixSource() {
    {
        const std::lock_guard lock(unhandled_->mutex);
        unhandled_->ending = true;
    }
    unhandled_->handled.notify_all();
    if (engine_) {
        engine_->Stop([unhandled = unhandled_](const std::string& session) {
            const std::lock_guard lock(unhandled->mutex);
            const std::set<int>& seqs = unhandled->seqs[session];
            return seqs.empty() ? 0 : *seqs.begin();
        });
    }
    engine_.reset();
}

void FixSource::Unhandled::Done(const std::string& session, int seq) {
    {
        const std::lock_guard lock(mutex);
        seqs[session].erase(seq);
    }
    handled.notify_all();
}

void FixSource::LoggedOn(const std::string& session) {
    if (logged_on_.empty()) {
        dispatcher_.Submit(Connect{"FIX", session}, EventSource::kFix, {});
    }
    logged_on_.insert(session);
    TellState();
}

void FixSource::LoggedOut(const std::string& session) {
    if (logged_on_.erase(session) != 0 && logged_on_.empty()) {
        dispatcher_.Submit(Disconnect{}, EventSource::kFix, {});
    }
    TellState();
}

void FixSource::Report(const std::string& session, const std::string& day, int seq,
                       const std::string& exec_id, OrderEvent event) {
    const auto same_day = [this, session](const std::string& kept, const std::string& told) {
        return engine_->SameDay(session, kept, told);
    };
    HandledExecIds& handled =
        handled_
            .try_emplace(session, store_folder_ + "/" + FileName(session) + ".exec-ids", day,
                         same_day)
            .first->second;
    // Sent again while the first is still waiting in the dispatcher: handled once.
    if (handled.Seen(day, exec_id) || !in_dispatcher_.emplace(session, exec_id).second) {
        unhandled_->Done(session, seq);
        return;
    }
    if (const auto* noted = std::get_if<ReportNotListed>(&event); noted && noted->Fault) {
        std::cerr << "quillet: a FIX report of order " << noted->OrderId << " (ExecID "
                  << noted->ExecID << ") makes no order line: " << noted->Why << '\n';
    }
    // Where a kill leaves it open whether the mail went out (the server took it before the
    // ExecID was kept), the report is mailed again under the first mail's Message-ID.
    EventOrigin origin(EventSource::kFix, ReportMessageIdLeft(session, handled.Day(), exec_id));
    // Once the source has gone, the engine has been told the report was not handled.
    dispatcher_.Submit(std::move(event), std::move(origin),
                       lifetime_.Guard([this, &handled, session, seq, exec_id](const OrderEvent&,
                                                                               const EventReply&) {
                           // Kept only now: a report that an end or a kill cut short is handled
                           // when it comes again.
                           if (const auto error = handled.Add(exec_id)) {
                               std::cerr << "quillet: a FIX report's ExecID is not kept: " << *error
                                         << '\n';
                           }
                           in_dispatcher_.erase({session, exec_id});
                           unhandled_->Done(session, seq);
                       }));
}

void FixSource::TellState() {
    state_changed_(logged_on_.empty() ? "connecting" : "logged on", sessions_);
}

}  // namespace quillet
