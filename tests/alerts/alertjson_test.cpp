#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "alerts/webhook.h"
#include "tests/alerts/sample_event.h"

namespace {

AlertEvent Event(const char *name, const char *what) { return SampleEvent(name, what); }

struct EscapeCase {
    const char *what;
    std::string in;
    const char *out;
};

TEST(AlertJson, EscapesTextAsValidUtf8)
{
    const EscapeCase cases[] = {
        {"plain", "Uplink", "Uplink"},
        {"quote and backslash", "a\"b\\c", "a\\\"b\\\\c"},
        {"short escapes", "\b\f\n\r\t", "\\b\\f\\n\\r\\t"},
        {"other C0 and DEL", std::string("\x01\x1f\x7f", 3), "\\u0001\\u001f\\u007f"},
        {"UTF-8 passes through", "K\xc3\xb6ln \xe2\x82\xac \xf0\x9f\x93\xa1",
         "K\xc3\xb6ln \xe2\x82\xac \xf0\x9f\x93\xa1"},
        {"UTF-8 C1 control", "a\xc2\x85z", "a\\u0085z"},
        {"8-bit text becomes UTF-8", "K\xf6ln", "K\xc3\xb6ln"},
        {"8-bit C1 control", "a\x85\xff", "a\\u0085\xc3\xbf"},
        {"a cut UTF-8 sequence", "ab\xe2\x82", "ab\xc3\xa2\\u0082"},
        {"a zero byte", std::string("a\0b", 3), "a\\u0000b"},
    };
    for (const EscapeCase &c : cases) {
        char out[128];
        int n = JsonEscape(c.in.data(), c.in.size(), out, sizeof out);
        EXPECT_EQ(std::string(c.out), std::string(out)) << c.what;
        EXPECT_EQ(static_cast<int>(strlen(c.out)), n) << c.what;
    }
}

TEST(AlertJson, EscapeThatDoesNotFitLeavesNothing)
{
    char out[6] = "xxxxx";
    EXPECT_EQ(-1, JsonEscape("a\"b", 3, out, 4));  // needs 4 and its zero
    EXPECT_EQ(std::string(), std::string(out));
    EXPECT_EQ(4, JsonEscape("a\"b", 3, out, 5));
}

TEST(AlertJson, BodyOfEachKindOfEvent)
{
    AlertEvent down = Event("Uplink", "down");
    AlertEvent above = Event("Uplink", "above");
    above.hasIn = above.hasOut = 1;
    above.pctIn = 95;
    above.pctOut = 12;
    AlertEvent oneWay = Event("K\xf6ln \"1\"", "normal");
    oneWay.hasOut = 1;
    oneWay.pctOut = 40;
    const struct {
        const AlertEvent *event;
        const char *body;
    } cases[] = {
        {&down, "{\"text\": \"Uplink down (192.0.2.1) at 2026-12-09 03:14:07 +01:00\", \"interface\": \"Uplink\", "
                "\"event\": \"down\", \"in\": null, \"out\": null, \"address\": \"192.0.2.1\", "
                "\"time\": \"2026-12-09T03:14:07+01:00\"}"},
        {&above, "{\"text\": \"Uplink above (192.0.2.1) at 2026-12-09 03:14:07 +01:00: In 95 %, Out 12 %\", "
                 "\"interface\": \"Uplink\", \"event\": \"above\", \"in\": 95, \"out\": 12, "
                 "\"address\": \"192.0.2.1\", \"time\": \"2026-12-09T03:14:07+01:00\"}"},
        {&oneWay, "{\"text\": \"K\xc3\xb6ln \\\"1\\\" normal (192.0.2.1) at 2026-12-09 03:14:07 +01:00: Out 40 %\", "
                  "\"interface\": \"K\xc3\xb6ln \\\"1\\\"\", \"event\": \"normal\", \"in\": null, \"out\": 40, "
                  "\"address\": \"192.0.2.1\", \"time\": \"2026-12-09T03:14:07+01:00\"}"},
    };
    for (const auto &c : cases) {
        char body[WEBHOOK_BODY_CHARS];
        size_t n = FormatAlertJson(c.event, body, sizeof body);
        EXPECT_EQ(std::string(c.body), std::string(body));
        EXPECT_EQ(strlen(c.body), n);
    }
}

TEST(AlertJson, LongestEventFits)
{
    // Every byte of every field an escape of six.
    AlertEvent e = {};
    memset(e.name, 0x01, sizeof e.name - 1);
    memset(e.address, 0x01, sizeof e.address - 1);
    memset(e.time, 0x01, sizeof e.time - 1);
    e.event = "normal";
    e.hasIn = e.hasOut = 1;
    e.pctIn = e.pctOut = -2147483647 - 1;
    char body[WEBHOOK_BODY_CHARS];
    EXPECT_LT(0u, FormatAlertJson(&e, body, sizeof body));
    EXPECT_EQ(0u, FormatAlertJson(&e, body, 100));
    EXPECT_EQ(std::string(), std::string(body));
}

}  // namespace
