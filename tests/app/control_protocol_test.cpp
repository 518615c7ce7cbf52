#include "app/control_protocol.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace quillet {
namespace {

// Every field of an event in one text, so that whole events compare in one expectation.
std::string Describe(const OrderEvent& event) {
    std::ostringstream out;
    std::visit(
        [&out](const auto& e) {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, OrderPlaced>) {
                out << "OrderPlaced " << e.OrderId << '|' << e.Side << '|' << e.Quantity << '|'
                    << e.Symbol << '|' << e.OrderType << '|' << e.StopPrice << '|' << e.LimitPrice
                    << '|' << e.Info1 << '|' << e.Info2 << '|' << e.Info3 << '|' << e.Info4 << '|'
                    << e.Info5 << '|' << e.Info6;
            } else if constexpr (std::is_same_v<E, OrderCancelled>) {
                out << "OrderCancelled " << e.OrderId;
            } else if constexpr (std::is_same_v<E, OrderModified>) {
                out << "OrderModified " << e.OrderId << '|' << e.NewStopPrice << '|'
                    << e.NewLimitPrice;
            } else if constexpr (std::is_same_v<E, QueryConnected>) {
                out << "QueryConnected " << e.Text1 << '|' << e.Text2 << '|' << e.Text3 << '|'
                    << e.Answer;
            } else if constexpr (std::is_same_v<E, Connect>) {
                out << "Connect " << e.Text1 << '|' << e.Text2 << '|' << e.Answer;
            } else if constexpr (std::is_same_v<E, Disconnect>) {
                out << "Disconnect";
            } else {
                out << "Shutdown";
            }
        },
        event);
    return out.str();
}

struct AcceptedCase {
    const char* line;
    const char* expected;  // Describe() of the event
};

void PrintTo(const AcceptedCase& c, std::ostream* out) { *out << c.line; }

class AcceptedRequestTest : public testing::TestWithParam<AcceptedCase> {};

TEST_P(AcceptedRequestTest, GivesTheEventWithDefaultsFilledIn) {
    const ParsedControlRequest parsed = ParseControlRequest(GetParam().line);
    ASSERT_TRUE(parsed.event.has_value()) << parsed.error;
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(Describe(*parsed.event), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryEvent, AcceptedRequestTest,
    testing::Values(
        AcceptedCase{R"({"event":"OrderPlaced","OrderId":"A1","Side":1,"Quantity":100,)"
                     R"("Symbol":"ESZ5","OrderType":2,"StopPrice":4500.25,"LimitPrice":0,)"
                     R"("Info1":"a","Info2":"b","Info3":"c","Info4":"d","Info5":"e","Info6":"f"})",
                     "OrderPlaced A1|1|100|ESZ5|2|4500.25|0|a|b|c|d|e|f"},
        AcceptedCase{R"({"event":"OrderPlaced","OrderId":"","Side":-1,)"
                     R"("Quantity":-2147483648,"Symbol":"X","OrderType":2147483647,)"
                     R"("StopPrice":-1.5e3,"LimitPrice":7,"Info3":"only"})",
                     "OrderPlaced |-1|-2147483648|X|2147483647|-1500|7|||only|||"},
        AcceptedCase{R"({"event":"OrderCancelled","OrderId":"Z\u00e9 \"q\""})",
                     "OrderCancelled Z\xC3\xA9 \"q\""},
        AcceptedCase{R"({"OrderId":"7","NewLimitPrice":1.25,"NewStopPrice":-0.5,)"
                     R"("event":"OrderModified"})",
                     "OrderModified 7|-0.5|1.25"},
        AcceptedCase{R"({"event":"QueryConnected"})", "QueryConnected |||0"},
        AcceptedCase{R"({"event":"QueryConnected","Text1":"x","Text2":"y","Text3":"z",)"
                     R"("Answer":-1})",
                     "QueryConnected x|y|z|-1"},
        AcceptedCase{R"({"event":"Connect","Text2":"t","Answer":5})", "Connect |t|5"},
        AcceptedCase{R"({"event":"Disconnect"})", "Disconnect"},
        AcceptedCase{R"({"event":"Shutdown"})", "Shutdown"},
        // A CR before the LF is dropped; blanks around the object are JSON's own.
        AcceptedCase{"{\"event\":\"Disconnect\"}\r", "Disconnect"},
        AcceptedCase{"  { \"event\" : \"Connect\" }\t\r", "Connect ||0"},
        AcceptedCase{R"({"event":"QueryConnected","Answer":-0})", "QueryConnected |||0"}));

struct RefusedCase {
    std::string line;
    std::string error_part;  // the error names this
};

void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.line.substr(0, 80); }

class RefusedRequestTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedRequestTest, NamesWhatIsWrong) {
    const ParsedControlRequest parsed = ParseControlRequest(GetParam().line);
    EXPECT_FALSE(parsed.event.has_value());
    EXPECT_NE(parsed.error.find(GetParam().error_part), std::string::npos)
        << "error: " << parsed.error;
}

std::string Whole(const std::string& field) {
    return "field \"" + field + "\" must be a whole number from -2147483648 to 2147483647";
}

// A valid OrderPlaced request with `field` set to `raw_value` (JSON text), added when new.
std::string Placed(const std::string& field, const std::string& raw_value) {
    std::vector<std::pair<std::string, std::string>> fields = {
        {"OrderId", "\"1\""}, {"Side", "1"},      {"Quantity", "2"},  {"Symbol", "\"S\""},
        {"OrderType", "3"},   {"StopPrice", "4"}, {"LimitPrice", "5"}};
    bool replaced = false;
    for (auto& [name, value] : fields) {
        if (name == field) {
            value = raw_value;
            replaced = true;
        }
    }
    if (!replaced) {
        fields.emplace_back(field, raw_value);
    }
    std::string line = R"({"event":"OrderPlaced")";
    for (const auto& [name, value] : fields) {
        line += ",\"" + name + "\":" + value;
    }
    return line + "}";
}

INSTANTIATE_TEST_SUITE_P(
    BadJson, RefusedRequestTest,
    testing::Values(RefusedCase{"", "not valid JSON: "}, RefusedCase{"{", "not valid JSON: "},
                    RefusedCase{"\r", "not valid JSON: "},
                    RefusedCase{R"({"event":"Disconnect"} x)", "not valid JSON: "},
                    RefusedCase{R"({"event":"Disconnect"}{})", "not valid JSON: "},
                    RefusedCase{"{\"event\":\"OrderCancelled\",\"OrderId\":\"\xff\"}",
                                "not valid JSON: "},
                    RefusedCase{R"({"event":"Disconnect",})", "not valid JSON: "},
                    RefusedCase{R"({"event":"Disconnect"} // note)", "not valid JSON: "},
                    RefusedCase{R"({"event":"OrderModified","OrderId":"1","NewStopPrice":1e999,)"
                                R"("NewLimitPrice":1})",
                                "not valid JSON: "},
                    RefusedCase{"[]", "request must be a JSON object"},
                    RefusedCase{R"("Disconnect")", "request must be a JSON object"},
                    RefusedCase{"null", "request must be a JSON object"},
                    RefusedCase{std::string(100000, '[') + std::string(100000, ']'),
                                "request must be a JSON object"}));

INSTANTIATE_TEST_SUITE_P(
    BadEventOrFields, RefusedRequestTest,
    testing::Values(RefusedCase{"{}", "missing field \"event\""},
                    RefusedCase{R"({"Event":"Disconnect"})", "missing field \"event\""},
                    RefusedCase{R"({"event":3})", "field \"event\" must be a text"},
                    RefusedCase{R"({"event":"Foo"})", "unknown event \"Foo\""},
                    RefusedCase{R"({"event":"orderplaced"})", "unknown event \"orderplaced\""},
                    RefusedCase{R"({"event":"Disconnect","Bogus":1})", "unknown field \"Bogus\""},
                    RefusedCase{R"({"event":"OrderCancelled","orderid":"1"})",
                                "unknown field \"orderid\""},
                    RefusedCase{R"({"event":"Connect","Text3":""})", "unknown field \"Text3\""},
                    RefusedCase{Placed("Info7", R"("")"), "unknown field \"Info7\""},
                    RefusedCase{R"({"event":"OrderCancelled"})", "missing field \"OrderId\""},
                    RefusedCase{R"({"event":"OrderModified","OrderId":"1","NewStopPrice":1})",
                                "missing field \"NewLimitPrice\""},
                    RefusedCase{R"({"event":"OrderCancelled","OrderId":"1","OrderId":"2"})",
                                "field \"OrderId\" given twice"},
                    RefusedCase{R"({"event":"Disconnect","event":"Shutdown"})",
                                "field \"event\" given twice"}));

INSTANTIATE_TEST_SUITE_P(
    WrongTypesAndRanges, RefusedRequestTest,
    testing::Values(
        RefusedCase{R"({"event":"OrderCancelled","OrderId":5})",
                    "field \"OrderId\" must be a text"},
        RefusedCase{Placed("Info1", "null"), "field \"Info1\" must be a text"},
        RefusedCase{R"({"event":"Connect","Text1":["a"]})", "field \"Text1\" must be a text"},
        RefusedCase{Placed("Quantity", "1.5"), Whole("Quantity")},
        RefusedCase{Placed("Quantity", "5.0"), Whole("Quantity")},
        RefusedCase{Placed("Side", "1e2"), Whole("Side")},
        RefusedCase{Placed("Side", "1e10"), Whole("Side")},
        RefusedCase{Placed("Side", "true"), Whole("Side")},
        RefusedCase{Placed("Side", R"("5")"), Whole("Side")},
        RefusedCase{Placed("OrderType", "2147483648"), Whole("OrderType")},
        RefusedCase{Placed("OrderType", "-2147483649"), Whole("OrderType")},
        RefusedCase{Placed("OrderType", "18446744073709551615"), Whole("OrderType")},
        RefusedCase{R"({"event":"QueryConnected","Answer":"-1"})", Whole("Answer")},
        RefusedCase{Placed("StopPrice", R"("1.5")"), "field \"StopPrice\" must be a finite number"},
        RefusedCase{Placed("LimitPrice", "null"), "field \"LimitPrice\" must be a finite number"},
        RefusedCase{R"({"event":"OrderModified","OrderId":"1","NewStopPrice":false,)"
                    R"("NewLimitPrice":1})",
                    "field \"NewStopPrice\" must be a finite number"}));

TEST(RefusedRequestTest, AFieldGivenTwiceInsideAValueIsNotMistakenForATopLevelOne) {
    const ParsedControlRequest parsed =
        ParseControlRequest(R"({"event":"Disconnect","x":{"a":1,"a":2}})");
    EXPECT_NE(parsed.error.find("unknown field \"x\""), std::string::npos) << parsed.error;
}

TEST(FormatReplyTest, CarriesTheAnswerOfConnectAndQueryConnectedOnly) {
    EXPECT_EQ(FormatReply(Connect{"a", "b", -1}), R"({"ok":true,"Answer":-1})");
    EXPECT_EQ(FormatReply(QueryConnected{"", "", "", 2147483647}),
              R"({"ok":true,"Answer":2147483647})");
    EXPECT_EQ(FormatReply(OrderPlaced{}), R"({"ok":true})");
    EXPECT_EQ(FormatReply(Shutdown{}), R"({"ok":true})");
}

TEST(FormatErrorTest, GivesOneLineOfValidJsonWhateverTheMessage) {
    const std::string messages[] = {
        "plain", "quote \" backslash \\ line\nend\r", "invalid \xff\xfe bytes",
        ParseControlRequest("{\"event\":\"\xc3\"}").error,  // quotes the bad byte back
    };
    for (const std::string& message : messages) {
        const std::string reply = FormatError(message);
        EXPECT_EQ(reply.find('\n'), std::string::npos) << reply;
        const nlohmann::json parsed = nlohmann::json::parse(reply, nullptr, false);
        ASSERT_TRUE(parsed.is_object()) << reply;
        EXPECT_EQ(parsed.at("ok"), false);
        EXPECT_TRUE(parsed.at("error").is_string());
    }
    EXPECT_EQ(FormatError("quote \" here"), R"({"ok":false,"error":"quote \" here"})");
}

}  // namespace
}  // namespace quillet
