// The platform's post against real receivers (with-receivers.sh).
#include "alerts/post.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "alerts/webhook.h"
#include "tests/alerts/receivers.h"
#include "tests/alerts/trust.h"

namespace {

class HttpPostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (ReceiverEnv("WEBHOOK_HTTP").empty())
            GTEST_SKIP() << "needs the receivers of with-receivers.sh";
        ASSERT_TRUE(PostStartup());
    }
    void TearDown() override
    {
        if (!IsSkipped())
            PostCleanup();
    }
};

const char kBody[] = "{\"text\": \"K\xc3\xb6ln down\"}";

TEST_F(HttpPostTest, ResultOfEachKindOfAnswer)
{
    ASSERT_TRUE(TrustTestCa());
    std::string http = ReceiverEnv("WEBHOOK_HTTP"), https = ReceiverEnv("WEBHOOK_HTTPS");
    const struct {
        const char *what;
        std::string url;
        int result;
        long status;
    } cases[] = {
        {"2xx", http + "/ok/kinds", POST_SENT, 200},
        {"500", http + "/fail/kinds", POST_REFUSED, 500},
        {"404", http + "/nothing/kinds", POST_REFUSED, 404},
        {"nothing listening", ReceiverEnv("WEBHOOK_CLOSED") + "/ok/kinds", POST_FAILED, 0},
        {"https, signed by the trusted CA", https + "/ok/kinds?key=1", POST_SENT, 200},
        {"https, signed by nobody", ReceiverEnv("WEBHOOK_ROGUE") + "/ok/kinds", POST_FAILED, 0},
    };
    for (const auto &c : cases) {
        HttpPost post;
        ASSERT_TRUE(post.Open(c.url.c_str())) << c.what;
        long status = -1;
        EXPECT_EQ(c.result, post.Send(kBody, sizeof kBody - 1, WEBHOOK_TRY_MS, &status)) << c.what;
        EXPECT_EQ(c.status, status) << c.what;
    }
    // What arrived, as sent: each body once, whole, as JSON.
    for (const char *log : {"WEBHOOK_LOG", "WEBHOOK_TLS_LOG"}) {
        std::vector<Arrival> got = Arrivals(ReceiverEnv(log), "/ok/kinds", 1);
        ASSERT_EQ(1u, got.size()) << log;
        EXPECT_EQ(kBody, got[0].body) << log;
        EXPECT_EQ("application/json", got[0].type) << log;
    }
    EXPECT_EQ("/ok/kinds?key=1", Arrivals(ReceiverEnv("WEBHOOK_TLS_LOG"), "/ok/kinds", 1)[0].path);
}

TEST_F(HttpPostTest, SilentReceiverEndsTheTryAtItsLimit)
{
    HttpPost post;
    ASSERT_TRUE(post.Open((ReceiverEnv("WEBHOOK_HTTP") + "/silent/limit").c_str()));
    long status = -1;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(POST_FAILED, post.Send(kBody, sizeof kBody - 1, WEBHOOK_TRY_MS, &status));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(1u, Arrivals(ReceiverEnv("WEBHOOK_LOG"), "/silent/limit").size());
    EXPECT_LE(WEBHOOK_TRY_MS - 500, ms);
    EXPECT_GT(WEBHOOK_TRY_MS + 5000, ms);
}

}  // namespace
