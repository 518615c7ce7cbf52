#include "support/csv.h"

namespace quillet {
namespace {

bool NeedsQuotes(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    if (text.front() == ' ' || text.back() == ' ' || text.front() == '\t' || text.back() == '\t') {
        return true;
    }
    return text.find_first_of(",\"\r\n") != std::string_view::npos;
}

void AppendField(std::string& out, std::string_view text) {
    if (!NeedsQuotes(text)) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (const char c : text) {
        if (c == '"') {
            out.push_back('"');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

std::string CsvField(std::string_view text) {
    std::string out;
    AppendField(out, text);
    return out;
}

void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out.push_back(',');
        }
        AppendField(out, fields[i]);
    }
    out.append("\r\n");
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string out;
    AppendCsvRecord(out, fields);
    return out;
}

}  // namespace quillet
