#include "app/wire/control_protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

TEST(ControlProtocolTest, AcceptsEveryEventWithDefaultsFilledIn) {
    auto placed = ParseControlRequest(
        R"({"event":"OrderPlaced","OrderId":"","Side":-2147483648,"Quantity":1,"Symbol":"X",)"
        R"("OrderType":2147483647,"StopPrice":-1.5e3,"LimitPrice":7,"Info3":"only"})");
    ASSERT_TRUE(placed.ok()) << placed.error().message;
    const auto& p = std::get<OrderPlaced>(*placed);
    EXPECT_EQ(p.Side, -2147483648);
    EXPECT_EQ(p.OrderType, 2147483647);
    EXPECT_EQ(p.StopPrice, -1500);
    EXPECT_EQ(p.Info3, "only");
    EXPECT_EQ(p.Info6, "");

    // Fields in any order; a CR before the LF and blanks around the object are allowed.
    auto modified = ParseControlRequest(
        "  {\"OrderId\":\"Z\\u00e9\",\"NewLimitPrice\":1.25,\"NewStopPrice\":-0.5,"
        "\"event\":\"OrderModified\"}\t\r");
    ASSERT_TRUE(modified.ok()) << modified.error().message;
    EXPECT_EQ(std::get<OrderModified>(*modified).OrderId, "Z\xC3\xA9");
    EXPECT_EQ(std::get<OrderModified>(*modified).NewStopPrice, -0.5);
    auto query = ParseControlRequest(R"({"event":"QueryConnected","Text3":"z"})");
    ASSERT_TRUE(query.ok());
    EXPECT_EQ(std::get<QueryConnected>(*query).Answer, 0);
    // Quantities of the new events as written, by the quick reader and (an escape) the full one.
    for (const char* info : {"", R"(,"Info4":"\u00e9")"}) {
        auto filled = ParseControlRequest(
            std::string(R"({"event":"OrderFilled","OrderId":"7","Side":1,"Symbol":"X",)") +
            R"("Quantity":12.50,"FilledQuantity":40.500,"LeavesQuantity":0,"FillPrice":1.5)" +
            info + "}");
        ASSERT_TRUE(filled.ok()) << filled.error().message;
        const auto& f = std::get<OrderFilled>(*filled);
        EXPECT_EQ(f.Quantity.text, "12.50");
        EXPECT_EQ(f.FilledQuantity.text, "40.500");
        EXPECT_EQ(f.LeavesQuantity.text, "0");
        EXPECT_EQ(f.FillPrice, 1.5);
    }
    auto rejected = ParseControlRequest(R"({"event":"OrderRejected","OrderId":"7","Reason":"r"})");
    ASSERT_TRUE(rejected.ok()) << rejected.error().message;
    EXPECT_EQ(std::get<OrderRejected>(*rejected), (OrderRejected{"7", "r", 0, {}, "", "", "", ""}));
    for (const char* name : {"Disconnect", "Shutdown", "Connect", "Show"}) {
        EXPECT_TRUE(ParseControlRequest(std::string(R"({"event":")") + name + "\"}").ok());
    }
}

TEST(ControlProtocolTest, RefusalsNameWhatIsWrong) {
    const std::string placed_head =
        R"({"event":"OrderPlaced","OrderId":"1","Symbol":"S","StopPrice":4,"LimitPrice":5,)";
    const std::string whole = " must be a whole number from -2147483648 to 2147483647";
    std::string accents;  // 4,097 characters, 8,194 bytes
    for (int i = 0; i < 4097; ++i) {
        accents += "\u00e9";
    }
    const std::pair<std::string, std::string> cases[] = {
        {"{", "not valid JSON: "},
        {R"({"event":"Disconnect"}{})", "not valid JSON: "},
        {"{\"event\":\"OrderCancelled\",\"OrderId\":\"\xff\"}", "not valid JSON: "},
        {R"({"event":"Disconnect"} // note)", "not valid JSON: "},
        {"[]", "request must be a JSON object"},
        {std::string(100000, '[') + std::string(100000, ']'), "request must be a JSON object"},
        {R"({"Event":"Disconnect"})", "missing field \"event\""},
        {R"({"event":"orderplaced"})", "unknown event \"orderplaced\""},
        {R"({"event":"OrderCancelled","orderid":"1"})", "unknown field \"orderid\""},
        {R"({"event":"Disconnect","x":{"a":1,"a":2}})", "unknown field \"x\""},
        {R"({"event":"OrderModified","OrderId":"1","NewStopPrice":1})",
         "missing field \"NewLimitPrice\""},
        {R"({"event":"OrderCancelled","OrderId":"1","OrderId":"2"})",
         "field \"OrderId\" given twice"},
        {R"({"event":"OrderCancelled","OrderId":5})", "field \"OrderId\" must be a text"},
        {placed_head + R"("Side":1,"Quantity":5.0,"OrderType":1})", "field \"Quantity\"" + whole},
        {placed_head + R"("Side":"1","Quantity":5,"OrderType":1})", "field \"Side\"" + whole},
        {placed_head + R"("Side":1,"Quantity":5,"OrderType":2147483648})",
         "field \"OrderType\"" + whole},
        // No shares or fewer than none, by the quick reader and (an escape) by the full one.
        {placed_head + R"("Side":1,"Quantity":-100,"OrderType":1})",
         "field \"Quantity\" must be a whole number above 0, not -100"},
        {placed_head + R"("Side":1,"Quantity":0,"OrderType":1,"Info1":"\u00e9"})",
         "field \"Quantity\" must be a whole number above 0, not 0"},
        // A fill's quantities: as written, not negative, no exponent, no fill of none.
        {R"({"event":"OrderFilled","OrderId":"1","Side":1,"Symbol":"S","Quantity":0.0,)"
         R"("FilledQuantity":1,"LeavesQuantity":1,"FillPrice":1})",
         "field \"Quantity\" must be above 0, not 0.0"},
        {R"({"event":"OrderFilled","OrderId":"1","Side":1,"Symbol":"S","Quantity":1,)"
         R"("FilledQuantity":1e3,"LeavesQuantity":1,"FillPrice":1})",
         "field \"FilledQuantity\" must be a number of 0 or more"},
        {R"({"event":"OrderRejected","OrderId":"1","Reason":"\u00e9","Quantity":-0})",
         "field \"Quantity\" must be a number of 0 or more"},
        {R"({"event":"ReportNotListed","OrderId":"1"})", "unknown event \"ReportNotListed\""},
        {R"({"event":"OrderModified","OrderId":"1","NewStopPrice":false,"NewLimitPrice":1})",
         "field \"NewStopPrice\" must be a finite number"},
        {std::string(R"({"event":"Shutdown"})") + '\0' + "junk", "request holds a NUL byte"},
        {R"({"event":"Connect","Text1":"a)" + std::string(1, '\0') + R"(b"})", "NUL byte"},
        // Plain ASCII (the quick reader) and one over in characters, not bytes (the full one).
        {R"({"event":"Connect","Text2":")" + std::string(4097, 'x') + "\"}",
         "field \"Text2\" is longer than 4096 characters"},
        {placed_head + R"("Side":1,"Quantity":5,"OrderType":1,"Info6":")" + accents + "\"}",
         "field \"Info6\" is longer than 4096 characters"},
    };
    for (const auto& [line, error] : cases) {
        const Result<OrderEvent> parsed = ParseControlRequest(line);
        ASSERT_FALSE(parsed.ok()) << line.substr(0, 80);
        EXPECT_NE(parsed.error().message.find(error), std::string::npos) << parsed.error().message;
    }
}

TEST(ControlProtocolTest, TextsLoseControlCharactersAndKeepTheirLength) {
    // A Symbol that, shown, would turn "Sell 5 AAA" into "Buy 50 share)s(" by reordering, and
    // would clear a terminal, ring, erase, break the line and colour it (C0, DEL, C1).
    const std::string symbol =
        "AAA\u202E)s(erahs 05 yuB\u202C\u2066\u2069\u200E\u200F\u061C"
        R"(\u001b[2J\u0007\b\t\r\n\u007f\u0085\u009b31m)";
    auto placed = ParseControlRequest(R"({"event":"OrderPlaced","OrderId":"\u2067)"
                                      "1"
                                      R"(","Side":2,"Quantity":5,"Symbol":")" +
                                      symbol + R"(","OrderType":1,"StopPrice":0,"LimitPrice":0})");
    ASSERT_TRUE(placed.ok()) << placed.error().message;
    EXPECT_EQ(std::get<OrderPlaced>(*placed).Symbol, "AAA)s(erahs 05 yuB[2J31m");
    EXPECT_EQ(std::get<OrderPlaced>(*placed).OrderId, "1");
    // 4,096 characters are taken, and other marks (here U+200B, a zero width space) are kept.
    const std::string full(4096, 'x');
    auto connect =
        ParseControlRequest(R"({"event":"Connect","Text1":")" + full + R"(","Text2":"a\u200Bb"})");
    ASSERT_TRUE(connect.ok()) << connect.error().message;
    EXPECT_EQ(std::get<Connect>(*connect).Text1, full);
    EXPECT_EQ(std::get<Connect>(*connect).Text2, "a\u200Bb");
}

TEST(ControlProtocolTest, Replies) {
    const MailStatus counted{true, 1, 0, 3, "off", 1, 2};
    const struct {
        OrderEvent event;
        EventReply reply;
        const char* line;
    } cases[] = {
        {Connect{"a", "b", 0}, {.answer = -1}, R"({"ok":true,"Answer":-1})"},
        {QueryConnected{"", "", "", 7}, {}, R"({"ok":true,"Answer":7})"},
        {OrderPlaced{}, {}, R"({"ok":true})"},
        {OrderCancelled{"7"},
         {.unsaved = "cannot write \"7.mail\": No space left on device"},
         R"({"ok":true,"Unsaved":"cannot write \"7.mail\": No space left on device"})"},
        {OrderPlaced{},
         {.not_listed = "not listed: why"},
         R"({"ok":false,"error":"not listed: why"})"},
        {Shutdown{}, {.lost = {"1", "2"}}, R"({"ok":true,"Lost":["1","2"]})"},
        {Status{},
         {.status = counted},
         R"({"ok":true,"Connected":true,"Waiting":1,"Failed":0,"NotMailed":2,"Delivered":3,)"
         R"("FIX":"off","Unsaved":1})"},
        {Status{},
         {.status = MailStatus{true, 1, 2, 3, "logged on", 0, 0}},
         R"({"ok":true,"Connected":true,"Waiting":1,"Failed":2,"NotMailed":0,"Delivered":3,)"
         R"("FIX":"logged on"})"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatReply(c.event, c.reply), c.line);
    }
}

}  // namespace
}  // namespace quillet
