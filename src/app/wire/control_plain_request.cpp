// The quick reader of request lines: one pass over the line, no document built. Anything
// beyond the plain form is left to the full reader, which also words every refusal.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "app/orders/order_quantity.h"
#include "app/wire/control_fields.h"
#include "app/wire/control_protocol.h"

namespace quillet {
namespace {

// More fields than any event has: such a line is not a plain one.
constexpr size_t kMaxPlainFields = 16;

struct Value {
    bool text = false;  // a text, without its quotes; otherwise a number as written
    std::string_view raw;
};

struct Field {
    std::string_view name;
    Value value;
};

struct Fields {
    std::array<Field, kMaxPlainFields> items;
    size_t count = 0;
};

class PlainScanner {
  public:
    explicit PlainScanner(std::string_view line) : line_(line) {}

    // The fields of a flat object that fills the whole line, blanks around it allowed.
    std::optional<Fields> Object() {
        Fields fields;
        if (!Take('{')) {
            return std::nullopt;
        }
        do {
            if (fields.count == fields.items.size()) {
                return std::nullopt;
            }
            const auto name = Text();
            if (!name || !Take(':')) {
                return std::nullopt;
            }
            SkipBlanks();
            const bool text = at_ < line_.size() && line_[at_] == '"';
            const auto raw = text ? Text() : Number();
            if (!raw) {
                return std::nullopt;
            }
            fields.items[fields.count++] = Field{*name, Value{text, *raw}};
        } while (Take(','));
        if (!Take('}')) {
            return std::nullopt;
        }
        SkipBlanks();
        if (at_ != line_.size()) {
            return std::nullopt;
        }
        return fields;
    }

  private:
    void SkipBlanks() {
        while (at_ < line_.size() && (line_[at_] == ' ' || line_[at_] == '\t' ||
                                      line_[at_] == '\n' || line_[at_] == '\r')) {
            ++at_;
        }
    }

    bool Take(char c) {
        SkipBlanks();
        if (at_ < line_.size() && line_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    // A text of printable ASCII, without escapes.
    std::optional<std::string_view> Text() {
        if (!Take('"')) {
            return std::nullopt;
        }
        const size_t start = at_;
        for (; at_ < line_.size(); ++at_) {
            const char c = line_[at_];
            if (c == '"') {
                return line_.substr(start, at_++ - start);
            }
            if (c < 0x20 || c > 0x7e || c == '\\') {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // A number as JSON writes it.
    std::optional<std::string_view> Number() {
        const size_t start = at_;
        if (at_ < line_.size() && line_[at_] == '-') {
            ++at_;
        }
        if (at_ < line_.size() && line_[at_] == '0') {
            ++at_;
        } else if (!Digits()) {
            return std::nullopt;
        }
        if (at_ < line_.size() && line_[at_] == '.') {
            ++at_;
            if (!Digits()) {
                return std::nullopt;
            }
        }
        if (at_ < line_.size() && (line_[at_] == 'e' || line_[at_] == 'E')) {
            ++at_;
            if (at_ < line_.size() && (line_[at_] == '+' || line_[at_] == '-')) {
                ++at_;
            }
            if (!Digits()) {
                return std::nullopt;
            }
        }
        return line_.substr(start, at_ - start);
    }

    bool Digits() {
        const size_t start = at_;
        while (at_ < line_.size() && line_[at_] >= '0' && line_[at_] <= '9') {
            ++at_;
        }
        return at_ > start;
    }

    std::string_view line_;
    size_t at_ = 0;
};

bool IsWhole(std::string_view number) {
    return number.find_first_of(".eE") == std::string_view::npos;
}

template <typename Number>
std::optional<Number> Convert(std::string_view raw) {
    Number value{};
    const auto [end, error] = std::from_chars(raw.data(), raw.data() + raw.size(), value);
    if (error != std::errc() || end != raw.data() + raw.size()) {
        return std::nullopt;
    }
    return value;
}

template <typename Event>
bool Store(const Value& value, std::string Event::*member, Event& event) {
    if (!value.text) {
        return false;
    }
    event.*member = std::string(value.raw);
    return true;
}

template <typename Event>
bool Store(const Value& value, int32_t Event::*member, Event& event) {
    if (value.text || !IsWhole(value.raw)) {
        return false;
    }
    const auto number = Convert<int32_t>(value.raw);
    if (!number) {
        return false;
    }
    event.*member = *number;
    return true;
}

// A quantity as written; any other number is the full reader's to refuse.
template <typename Event>
bool Store(const Value& value, DecimalQuantity Event::*member, Event& event) {
    if (value.text || !IsDecimalQuantity(value.raw)) {
        return false;
    }
    (event.*member).text = std::string(value.raw);
    return true;
}

// A price as the full reader makes it: a whole number that fits 64 bits is read as one and
// then turned into a double (so "-0" is 0); anything else is read as a double.
template <typename Event>
bool Store(const Value& value, double Event::*member, Event& event) {
    if (value.text) {
        return false;
    }
    std::optional<double> price;
    if (IsWhole(value.raw)) {
        if (value.raw.front() == '-') {
            if (const auto whole = Convert<int64_t>(value.raw)) {
                price = static_cast<double>(*whole);
            }
        } else if (const auto whole = Convert<uint64_t>(value.raw)) {
            price = static_cast<double>(*whole);
        }
    }
    if (!price) {
        price = Convert<double>(value.raw);
    }
    if (!price || !std::isfinite(*price)) {
        return false;
    }
    event.*member = *price;
    return true;
}

template <typename Event, size_t N>
std::optional<OrderEvent> Fill(const std::array<FieldRule<Event>, N>& rules, const Fields& given) {
    const Field* const fields = given.items.data();
    const size_t count = given.count;
    for (size_t i = 0; i < count; ++i) {
        bool known = fields[i].name == "event";
        for (const FieldRule<Event>& rule : rules) {
            known = known || rule.name == fields[i].name;
        }
        for (size_t j = 0; j < i; ++j) {
            known = known && fields[j].name != fields[i].name;
        }
        if (!known) {
            return std::nullopt;  // unknown or given twice
        }
    }
    Event event;
    for (const FieldRule<Event>& rule : rules) {
        const Field* found = nullptr;
        for (size_t i = 0; i < count && found == nullptr; ++i) {
            found = fields[i].name == rule.name ? &fields[i] : nullptr;
        }
        if (found == nullptr) {
            if (rule.required) {
                return std::nullopt;
            }
            continue;
        }
        if (!std::visit([&](auto member) { return Store(found->value, member, event); },
                        rule.member)) {
            return std::nullopt;
        }
    }
    // Made in place: through a temporary, g++ 12 -O2 warns falsely (maybe-uninitialized).
    return std::optional<OrderEvent>(std::in_place, std::move(event));
}

}  // namespace

std::optional<OrderEvent> ReadPlainRequest(std::string_view line) {
    const std::optional<Fields> fields = PlainScanner(line).Object();
    if (!fields) {
        return std::nullopt;
    }
    const auto end = fields->items.begin() + static_cast<std::ptrdiff_t>(fields->count);
    const auto name =
        std::find_if(fields->items.begin(), end, [](const Field& f) { return f.name == "event"; });
    if (name == end || !name->value.text) {
        return std::nullopt;
    }
    return WithEventRules(
        name->value.raw, [&](const auto& rules) { return Fill(rules, *fields); },
        [] { return std::optional<OrderEvent>(); });
}

}  // namespace quillet
