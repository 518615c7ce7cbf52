#include "app/wire/control_protocol.h"

#include "app/orders/order_quantity.h"
#include "app/orders/order_texts.h"
#include "app/wire/control_fields.h"
#include "app/wire/control_number_texts.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <type_traits>
#include <variant>

namespace quillet {
namespace {

using nlohmann::json;

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

// Stores `value` in the field `member` of `event`; the reason when it is of the wrong type.
template <typename Event>
std::string Store(const json& value, std::string_view name, std::string Event::*member,
                  Event& event) {
    if (!value.is_string()) {
        return "field " + Quoted(name) + " must be a text (a JSON string)";
    }
    event.*member = value.get_ref<const std::string&>();
    return {};
}

template <typename Event>
std::string Store(const json& value, std::string_view name, int32_t Event::*member, Event& event) {
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    bool fits = false;
    if (value.is_number_unsigned()) {
        fits = value.get<uint64_t>() <= static_cast<uint64_t>(kMax);
    } else if (value.is_number_integer()) {
        const int64_t number = value.get<int64_t>();
        fits = number >= kMin && number <= kMax;
    }
    if (!fits) {
        return "field " + Quoted(name) + " must be a whole number from -2147483648 to 2147483647";
    }
    event.*member = static_cast<int32_t>(value.get<int64_t>());
    return {};
}

template <typename Event>
std::string Store(const json& value, std::string_view name, double Event::*member, Event& event) {
    if (!value.is_number() || !std::isfinite(value.get<double>())) {
        return "field " + Quoted(name) + " must be a finite number";
    }
    event.*member = value.get<double>();
    return {};
}

// A quantity as `line` writes it, which the value alone does not keep ("12.50").
template <typename Event>
std::string Store(const json& value, std::string_view line, std::string_view name,
                  DecimalQuantity Event::*member, Event& event) {
    const auto numbers = TopLevelNumberTexts(line);
    const auto text = numbers.find(name);
    if (!value.is_number() || text == numbers.end() || !IsDecimalQuantity(text->second)) {
        return "field " + Quoted(name) +
               " must be a number of 0 or more, written with digits and at most one point (no "
               "exponent), of at most " +
               std::to_string(kMaxDecimalQuantityChars) + " characters";
    }
    (event.*member).text = text->second;
    return {};
}

// Reads the fields of one event out of the request `object`, parsed from `line`; the reason
// when it cannot.
template <typename Event, size_t N>
std::string ReadEvent(const json& object, std::string_view line, std::string_view event_name,
                      const std::array<FieldRule<Event>, N>& rules, OrderEvent& result) {
    for (const auto& item : object.items()) {
        if (item.key() == "event") {
            continue;
        }
        bool known = false;
        for (const FieldRule<Event>& rule : rules) {
            known = known || rule.name == item.key();
        }
        if (!known) {
            return "unknown field " + Quoted(item.key()) + " for event " + Quoted(event_name);
        }
    }
    Event event;
    for (const FieldRule<Event>& rule : rules) {
        const auto found = object.find(rule.name);
        if (found == object.end()) {
            if (rule.required) {
                return "missing field " + Quoted(rule.name) + " for event " + Quoted(event_name);
            }
            continue;
        }
        std::string error = std::visit(
            [&](auto member) {
                if constexpr (std::is_same_v<decltype(member), DecimalQuantity Event::*>) {
                    return Store(*found, line, rule.name, member, event);
                } else {
                    return Store(*found, rule.name, member, event);
                }
            },
            rule.member);
        if (!error.empty()) {
            return error;
        }
    }
    result = std::move(event);
    return {};
}

// nlohmann's message without its "[json.exception.parse_error.101] " prefix.
std::string WithoutExceptionId(const char* what) {
    std::string_view text(what);
    if (!text.empty() && text.front() == '[') {
        const size_t end = text.find("] ");
        if (end != std::string_view::npos) {
            text.remove_prefix(end + 2);
        }
    }
    return std::string(text);
}

Error Refused(std::string error) {
    return Fail(std::move(error));
}

}  // namespace

Result<OrderEvent> ParseControlRequest(std::string_view line) {
    if (line.find('\0') != std::string_view::npos) {
        return Refused("request holds a NUL byte");
    }
    std::optional<OrderEvent> plain = ReadPlainRequest(line);
    Result<OrderEvent> parsed =
        plain ? Result<OrderEvent>(std::move(*plain)) : ReadAnyRequest(line);
    if (parsed.ok()) {
        std::string error = CheckOrderTextLengths(*parsed);
        if (error.empty()) {
            error = CheckOrderQuantity(*parsed);
        }
        if (!error.empty()) {
            return Refused(std::move(error));
        }
        CleanOrderTexts(*parsed);
    }
    return parsed;
}

Result<OrderEvent> ReadAnyRequest(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    json request;
    std::string duplicate;
    std::set<std::string, std::less<>> seen;
    // Spots a field given twice at the top level, which the parser would quietly overwrite.
    const json::parser_callback_t spot_duplicates = [&](int depth, json::parse_event_t event,
                                                        json& parsed) {
        if (event == json::parse_event_t::key && depth == 1 && duplicate.empty() &&
            parsed.is_string() && !seen.insert(parsed.get<std::string>()).second) {
            duplicate = parsed.get<std::string>();
        }
        return true;
    };
    try {
        request = json::parse(line, spot_duplicates);
    } catch (const json::exception& e) {
        return Refused("not valid JSON: " + WithoutExceptionId(e.what()));
    }
    if (!request.is_object()) {
        return Refused("request must be a JSON object");
    }
    if (!duplicate.empty()) {
        return Refused("field " + Quoted(duplicate) + " given twice");
    }
    const auto name = request.find("event");
    if (name == request.end()) {
        return Refused("missing field \"event\"");
    }
    if (!name->is_string()) {
        return Refused("field \"event\" must be a text (a JSON string)");
    }
    const std::string& event_name = name->get_ref<const std::string&>();
    return WithEventRules(
        event_name,
        [&](const auto& rules) -> Result<OrderEvent> {
            OrderEvent event;
            std::string error = ReadEvent(request, line, event_name, rules, event);
            if (!error.empty()) {
                return Refused(std::move(error));
            }
            return event;
        },
        [&]() -> Result<OrderEvent> { return Refused("unknown event " + Quoted(event_name)); });
}

std::string FormatReply(const OrderEvent& handled, const EventReply& reply) {
    const auto text = [](const auto& value) {
        return json(value).dump(-1, ' ', false, json::error_handler_t::replace);
    };
    if (!reply.not_listed.empty()) {
        return FormatError(reply.not_listed);
    }
    if (const auto* connect = std::get_if<Connect>(&handled)) {
        return "{\"ok\":true,\"Answer\":" + std::to_string(reply.answer.value_or(connect->Answer)) +
               "}";
    }
    if (const auto* query = std::get_if<QueryConnected>(&handled)) {
        return "{\"ok\":true,\"Answer\":" + std::to_string(reply.answer.value_or(query->Answer)) +
               "}";
    }
    if (std::holds_alternative<Status>(handled)) {
        const MailStatus status = reply.status.value_or(MailStatus{});
        return std::string("{\"ok\":true,\"Connected\":") + (status.Connected ? "true" : "false") +
               ",\"Waiting\":" + std::to_string(status.Waiting) +
               ",\"Failed\":" + std::to_string(status.Failed) +
               ",\"NotMailed\":" + std::to_string(status.NotMailed) +
               ",\"Delivered\":" + std::to_string(status.Delivered) +
               ",\"FIX\":" + text(status.FIX) +
               (status.Unsaved > 0 ? ",\"Unsaved\":" + std::to_string(status.Unsaved) : "") +
               (status.PartlyDelivered > 0
                    ? ",\"PartlyDelivered\":" + std::to_string(status.PartlyDelivered)
                    : "") +
               "}";
    }
    // A Shutdown names the orders whose mails were lost.
    if (!reply.lost.empty()) {
        return "{\"ok\":true,\"Lost\":" + text(reply.lost) + "}";
    }
    // An order whose mail is in memory only says so, with the reason.
    if (!reply.unsaved.empty()) {
        return "{\"ok\":true,\"Unsaved\":" + text(reply.unsaved) + "}";
    }
    if (reply.mail_kept) {
        return "{\"ok\":true,\"Mail\":\"kept\"}";
    }
    return "{\"ok\":true}";
}

bool IsWatchRequest(std::string_view line) {
    if (line.size() > 256) {
        return false;  // a Watch request is short; anything longer is some other request
    }
    const json parsed = json::parse(line, nullptr, false);
    return parsed.is_object() && parsed.size() == 1 && parsed.contains("event") &&
           parsed["event"] == "Watch";
}

std::string FormatWatchReply() {
    return R"({"ok":true,"Watching":true})";
}

std::string FormatMailOutcome(const MailOutcome& outcome) {
    static constexpr std::array<const char*, 3> kNames = {"MailDelivered", "MailWaiting",
                                                          "MailFailed"};
    nlohmann::ordered_json line;  // the fields in the order documented
    line["event"] = kNames[static_cast<size_t>(outcome.kind)];
    line["OrderId"] = outcome.order_id;
    line["MessageId"] = outcome.message_id;
    if (outcome.kind != MailOutcome::Kind::kDelivered) {
        line["Reason"] = outcome.reason;
    }
    if (outcome.kind == MailOutcome::Kind::kWaiting) {
        const std::time_t seconds = static_cast<std::time_t>(outcome.next_attempt_ms / 1000);
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
        line["NextAttempt"] = text;
    }
    line["ServerReply"] = outcome.server_reply;
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string FormatError(std::string_view message) {
    const std::string quoted =
        json(std::string(message)).dump(-1, ' ', false, json::error_handler_t::replace);
    return "{\"ok\":false,\"error\":" + quoted + "}";
}

}  // namespace quillet
