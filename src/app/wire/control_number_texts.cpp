#include "app/wire/control_number_texts.h"

#include <nlohmann/json.hpp>

namespace quillet {
namespace {

using nlohmann::json;

// Follows the parse: how deep it is, the last key at the top, and the numbers' texts there.
class NumberTexts final : public nlohmann::json_sax<json> {
  public:
    std::map<std::string, std::string, std::less<>> found;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    // Signed only when written with a minus: a 0 here was "-0".
    bool number_integer(number_integer_t value) override {
        return Number(value == 0 ? "-0" : std::to_string(value));
    }
    bool number_unsigned(number_unsigned_t value) override { return Number(std::to_string(value)); }
    bool number_float(number_float_t, const string_t& text) override { return Number(text); }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override {
        ++depth_;
        return true;
    }
    bool key(string_t& name) override {
        if (depth_ == 1) {
            key_ = name;
        }
        return true;
    }
    bool end_object() override {
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override {
        ++depth_;
        return true;
    }
    bool end_array() override {
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        found.clear();
        return false;
    }

  private:
    bool Number(std::string text) {
        if (depth_ == 1) {
            found.try_emplace(key_, std::move(text));
        }
        return true;
    }

    int depth_ = 0;
    std::string key_;
};

}  // namespace

std::map<std::string, std::string, std::less<>> TopLevelNumberTexts(std::string_view line) {
    NumberTexts texts;
    try {
        json::sax_parse(line, &texts);
    } catch (const json::exception&) {
        texts.found.clear();
    }
    return std::move(texts.found);
}

}  // namespace quillet
