// The ExecIDs (17) of the execution reports a FIX session has already turned into events, for
// the session's day, kept in a small file that survives restarts, so that a report sent again
// (a resend, a gap fill, a counterparty that repeats itself) makes no second line or mail.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <unordered_set>

namespace quillet {

class HandledExecIds {
  public:
    // Whether `kept` and `told` name one day: a day may be told by more than one name (a store's
    // creation times within one period of the session's schedule).
    using SameDay = std::function<bool(const std::string& kept, const std::string& told)>;

    // Reads `path` (one line "day NAME", then one ExecID a line, escaped as Add writes it). A file
    // of another day, or none, or one that cannot be read, starts empty; a file of the same day
    // keeps its day's name.
    HandledExecIds(std::string path, const std::string& day, SameDay same_day);

    // Whether `exec_id` was handled on `day`. A new day forgets the old one's and takes the name
    // `day`; another name of the same day keeps the first.
    bool Seen(const std::string& day, const std::string& exec_id);
    // Remembers `exec_id` and writes the file anew, all at once (see WriteFileAtomically). Gives
    // the reason when the file could not be written; the ExecID is remembered in memory anyway.
    // An ExecID may hold any byte: one with a line break is kept escaped.
    std::optional<std::string> Add(const std::string& exec_id);
    // The name of the day it keeps: the first name it was told of that day, in this run or an
    // earlier one.
    const std::string& Day() const { return day_; }

  private:
    void StartDay(const std::string& day);

    std::string path_;
    SameDay same_day_;
    std::string day_;
    std::unordered_set<std::string> ids_;
    std::string text_;  // the file's content: the day's line, then the ExecIDs in order
};

}  // namespace quillet
