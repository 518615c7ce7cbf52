// Comma-separated values as RFC 4180 has them, for files that spreadsheets and auditors read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One field: as it is, or, when it holds a comma, a double quote, a CR or an LF, or begins or
// ends with a blank, between double quotes with each double quote doubled. The text is copied
// byte for byte (UTF-8 stays UTF-8); nothing fails.
std::string CsvField(std::string_view text);

// One record: its fields (CsvField each) joined by commas, ended by CRLF. No fields give an
// empty record, "\r\n".
std::string CsvRecord(const std::vector<std::string>& fields);

// Appends CsvRecord(fields) to `out`, for files of many records.
void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields);

}  // namespace quillet
