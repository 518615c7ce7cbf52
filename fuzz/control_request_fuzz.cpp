// Arbitrary bytes as one request line of the control protocol. The reader never throws and
// gives either an event or the reason it refuses the line; an event is the one the line names,
// and the line is JSON that the plain parser takes too. The quick reader takes a line only as
// the full one does, to the last bit of every price. The reply to either is one line holding a
// JSON object; an error reply carries a valid UTF-8 reason unchanged.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/wire/control_protocol.h"
#include "fuzz_check.h"
#include "support/utf8.h"

namespace {

using nlohmann::json;
using quillet::fuzz::Check;

// The event names in the order of OrderEvent's alternatives.
constexpr std::array<std::string_view, 13> kEventNames = {
    "OrderPlaced",   "OrderCancelled", "OrderModified",  "QueryConnected", "Connect",
    "Disconnect",    "Shutdown",       "Status",         "Show",           "OrderFilled",
    "OrderRejected", "OrderExpired",   "ReportNotListed"};

void CheckAccepted(std::string_view line, const quillet::OrderEvent& event) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const json request = json::parse(line, nullptr, false);
    Check(request.is_object(), "a request taken is a JSON object");
    Check(request.value("event", json()) == std::string(kEventNames.at(event.index())),
          "the event is the one the request names");
}

// An order's prices by their bits: 0 and -0 are equal numbers but not the same price.
std::pair<uint64_t, uint64_t> PriceBits(const quillet::OrderEvent& event) {
    if (const auto* placed = std::get_if<quillet::OrderPlaced>(&event)) {
        return {std::bit_cast<uint64_t>(placed->StopPrice),
                std::bit_cast<uint64_t>(placed->LimitPrice)};
    }
    if (const auto* modified = std::get_if<quillet::OrderModified>(&event)) {
        return {std::bit_cast<uint64_t>(modified->NewStopPrice),
                std::bit_cast<uint64_t>(modified->NewLimitPrice)};
    }
    if (const auto* filled = std::get_if<quillet::OrderFilled>(&event)) {
        return {std::bit_cast<uint64_t>(filled->FillPrice), 0};
    }
    return {};
}

void CheckQuickReader(std::string_view line) {
    if (const std::optional<quillet::OrderEvent> quick = quillet::ReadPlainRequest(line)) {
        const quillet::Result<quillet::OrderEvent> full = quillet::ReadAnyRequest(line);
        Check(full.ok() && *full == *quick && PriceBits(*full) == PriceBits(*quick),
              "the quick reader takes a line as the full one, to the last bit of every price");
    }
}

// The JSON object of `reply`, after checking that it is one line whose "ok" is `ok`.
json CheckedReply(const std::string& reply, bool ok) {
    Check(reply.find('\n') == std::string::npos && reply.find('\r') == std::string::npos,
          "a reply is one line");
    json parsed = json::parse(reply, nullptr, false);
    Check(parsed.is_object(), "a reply is a JSON object");
    Check(parsed.value("ok", json()) == ok, "a reply says whether the request was taken");
    return parsed;
}

void CheckErrorReply(std::string_view message) {
    const json reply = CheckedReply(quillet::FormatError(message), false);
    const json error = reply.value("error", json());
    Check(error.is_string(), "an error reply carries its reason");
    Check(quillet::MendUtf8(message) != message || error == std::string(message),
          "a valid UTF-8 reason reaches the reply unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const quillet::Result<quillet::OrderEvent> parsed = quillet::ParseControlRequest(line);
    Check(parsed.ok() || !parsed.error().message.empty(), "an event, or a reason");
    if (parsed.ok()) {
        CheckAccepted(line, *parsed);
        CheckedReply(quillet::FormatReply(*parsed, {}), true);
    } else {
        CheckErrorReply(parsed.error().message);
    }
    CheckErrorReply(line);
    CheckQuickReader(line);
    return 0;
}
