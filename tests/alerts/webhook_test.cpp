// The sender against real receivers (with-receivers.sh), its retry waits kept
// by the twin in fastwait.cpp.
#include "alerts/webhook.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "records/log.h"
#include "tests/alerts/fastwait.h"
#include "tests/alerts/receivers.h"
#include "tests/alerts/sample_event.h"
#include "tests/support/files.h"

namespace {

const char kHost[] = "127.0.0.1";

class WebhookTest : public InTempDir {
protected:
    void SetUp() override
    {
        if (ReceiverEnv("WEBHOOK_HTTP").empty())
            GTEST_SKIP() << "needs the receivers of with-receivers.sh";
        InTempDir::SetUp();
        ForgetRetryWaits();
        HoldRetries(false);
    }
    void TearDown() override
    {
        if (IsSkipped())
            return;
        HoldRetries(false);
        StopWebhook(0);
        InTempDir::TearDown();
    }

    // Starts the sender on a path of the http receiver; the secret in it must
    // never reach the log.
    void Start(const std::string &path)
    {
        path_ = path;
        ASSERT_EQ(1, StartWebhook((ReceiverEnv("WEBHOOK_HTTP") + path + "/s3cr3t").c_str(), kHost));
    }
    std::vector<Arrival> Got(size_t count, int waitMs = 5000)
    {
        return Arrivals(ReceiverEnv("WEBHOOK_LOG"), path_ + "/", count, waitMs);
    }
    // The log once it has count lines (or after 5 s), each "message,detail".
    static std::vector<std::string> Log(size_t count)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (LogEntries().size() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(std::string::npos, ReadFile(LOG_FILE_NAME).find("s3cr3t"));
        return FileExists(LOG_FILE_NAME) ? LogEntries() : std::vector<std::string>();
    }

    std::string path_;
};

AlertEvent Event(const std::string &name, const char *what) { return SampleEvent(name.c_str(), what); }

std::string Json(const AlertEvent &e)
{
    char body[WEBHOOK_BODY_CHARS];
    FormatAlertJson(&e, body, sizeof body);
    return body;
}

std::vector<std::string> Bodies(const std::vector<Arrival> &arrivals)
{
    std::vector<std::string> bodies;
    for (const Arrival &a : arrivals)
        bodies.push_back(a.status + " " + a.body);
    return bodies;
}

TEST_F(WebhookTest, PostsEachEventInOrder)
{
    Start("/ok/order");
    AlertEvent down = Event("Uplink", "down"), up = Event("Uplink", "up");
    PostAlert(&down);
    PostAlert(&up);
    std::vector<Arrival> got = Got(2);
    EXPECT_EQ((std::vector<std::string>{"200 " + Json(down), "200 " + Json(up)}), Bodies(got));
    StopWebhook(2000);
    EXPECT_EQ(std::vector<std::string>(), Log(0));
}

TEST_F(WebhookTest, FailingReceiverSaysOnceAndResumes)
{
    Start("/fail2/resume");
    AlertEvent down = Event("Uplink", "down");
    PostAlert(&down);
    std::vector<Arrival> got = Got(3);
    EXPECT_EQ((std::vector<std::string>{"500 " + Json(down), "500 " + Json(down), "200 " + Json(down)}), Bodies(got));
    EXPECT_EQ((std::vector<unsigned>{30000, 120000}), RetryWaits());
    EXPECT_EQ((std::vector<std::string>{"Alert post failure,127.0.0.1", "Alert post resumed,127.0.0.1"}), Log(2));
}

TEST_F(WebhookTest, DropsAnEventAfterItsLastRetryAndGoesOn)
{
    Start("/fail4/give-up");
    AlertEvent down = Event("Uplink", "down"), up = Event("Core", "up");
    PostAlert(&down);
    PostAlert(&up);
    std::vector<Arrival> got = Got(5);
    std::vector<std::string> expected(4, "500 " + Json(down));
    expected.push_back("200 " + Json(up));
    EXPECT_EQ(expected, Bodies(got));
    EXPECT_EQ((std::vector<unsigned>{30000, 120000, 600000}), RetryWaits());
    EXPECT_EQ((std::vector<std::string>{"Alert post failure,127.0.0.1", "Alert post dropped,Uplink down",
                                        "Alert post resumed,127.0.0.1"}),
              Log(3));
}

TEST_F(WebhookTest, FullQueueDropsTheOldest)
{
    Start("/fail1/full");
    HoldRetries(true);
    AlertEvent first = Event("first", "down");
    PostAlert(&first);
    for (int k = 0; k < 200 && RetryWaits().empty(); k++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(1u, RetryWaits().size());
    // The first event waits for its retry; 105 more come meanwhile.
    std::vector<std::string> expected = {"500 " + Json(first), "200 " + Json(first)};
    for (int k = 1; k <= WEBHOOK_QUEUE_MAX + 5; k++) {
        AlertEvent e = Event("if" + std::to_string(k), "down");
        PostAlert(&e);
        if (k > 5)
            expected.push_back("200 " + Json(e));
    }
    HoldRetries(false);
    EXPECT_EQ(expected, Bodies(Got(expected.size(), 30000)));
    EXPECT_EQ((std::vector<std::string>{"Alert post failure,127.0.0.1", "Alert post resumed,127.0.0.1",
                                        "Alert posts dropped,5"}),
              Log(3));
}

TEST_F(WebhookTest, StopDoesNotWaitOutASilentReceiver)
{
    Start("/silent/stop");
    AlertEvent down = Event("Uplink", "down"), up = Event("Uplink", "up");
    PostAlert(&down);
    ASSERT_EQ(1u, Got(1).size());
    PostAlert(&up);
    auto t0 = std::chrono::steady_clock::now();
    StopWebhook(300);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GT(1500, ms);  // the try alone would take 10 s
    EXPECT_EQ(1u, Got(0).size());
    EXPECT_EQ(std::vector<std::string>(), Log(0));
}

}  // namespace
