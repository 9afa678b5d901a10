// SnmpGetCounter against a real agent: snmpd on a loopback address of our own,
// with a generated configuration, read back with snmpget for reference.
#include <gtest/gtest.h>
#include <net/if.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "poll/snmpquery.h"
#include "tests/snmp/agent.h"
#include "tests/support/files.h"

namespace fs = std::filesystem;

namespace {

const char kCommunity[] = "vellro";

std::vector<unsigned int> g_sleeps;
int g_firstWaitMs = 0;

// The first wait lasts until a value or a log line arrives (at most
// g_firstWaitMs of real time); the others are only counted.
void CountingSleep(unsigned int milliseconds)
{
    g_sleeps.push_back(milliseconds);
    if (g_sleeps.size() == 1)
        WaitFor([] { return g_replyValue.load() != 0 || FileExists("vellarylog.txt"); }, g_firstWaitMs);
}

std::string Run(const std::string &command)
{
    std::string out;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buf[256];
    while (fgets(buf, sizeof buf, pipe))
        out += buf;
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// One snmpd for the whole program, on the first of 127.0.0.41-49 it can bind.
class Snmpd : public ::testing::Environment {
public:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("vellary-snmpd-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        for (int host = 41; host <= 49 && pid_ <= 0; host++) {
            TryStart("127.0.0." + std::to_string(host));
        }
    }

    void TearDown() override
    {
        Stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    const std::string &Address() const { return address_; }

    // snmpget's reading of a numeric object, "" when there is none.
    std::string Get(const std::string &oid) const
    {
        return Run("MIBS= snmpget -v1 -c " + std::string(kCommunity) + " -m '' -Oqv -t 2 -r 0 " + address_ + " " +
                   oid + " 2>/dev/null");
    }

private:
    bool TryStart(const std::string &address)
    {
        fs::path conf = dir_ / "snmpd.conf";
        fs::path log = dir_ / ("snmpd-" + address + ".log");
        WriteFile(conf, "agentaddress udp:" + address + ":161\n"
                        "rocommunity " + kCommunity + " 127.0.0.0/8\n"
                        "[snmp] persistentDir " + (dir_ / "state").string() + "\n");
        pid_t pid = fork();
        if (pid == 0) {
            setenv("MIBS", "", 1);
            execlp("snmpd", "snmpd", "-f", "-C", "-c", conf.c_str(), "-Lf", log.c_str(), "-M", "/nonexistent",
                   "-p", (dir_ / "snmpd.pid").c_str(), nullptr);
            _exit(127);
        }
        if (pid < 0)
            return false;
        // Up when it answers; gone when it could not bind.
        pid_ = pid;
        address_ = address;
        for (int k = 0; k < 100; k++) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid_ = 0;
                address_.clear();
                return false;
            }
            if (!Get("1.3.6.1.2.1.1.3.0").empty())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        Stop();
        address_.clear();
        return false;
    }

    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        pid_ = 0;
    }

    fs::path dir_;
    pid_t pid_ = 0;
    std::string address_;
};

Snmpd *g_snmpd = static_cast<Snmpd *>(::testing::AddGlobalTestEnvironment(new Snmpd));

class RealAgent : public InTempDir {
protected:
    void SetUp() override
    {
        InTempDir::SetUp();
        ASSERT_FALSE(g_snmpd->Address().empty()) << "snmpd did not start on 127.0.0.41-49";
        g_replyValue = 0;
        saved_ = g_querySleep;
        g_querySleep = CountingSleep;
        g_sleeps.clear();
        g_firstWaitMs = 5000;
        index_ = std::to_string(if_nametoindex("lo"));
    }

    void TearDown() override
    {
        g_querySleep = saved_;
        InTempDir::TearDown();
    }

    int Query(int64_t *counter, const std::string &oid, const char *community = kCommunity)
    {
        return SnmpGetCounter(nullptr, 0x113, counter, g_snmpd->Address().c_str(), community, oid.c_str());
    }

    void (*saved_)(unsigned int) = nullptr;
    std::string index_;
};

}  // namespace

TEST_F(RealAgent, SpeedOfLoopbackMatchesSnmpget)
{
    std::string oid = "1.3.6.1.2.1.2.2.1.5." + index_;
    std::string reference = g_snmpd->Get(oid);
    ASSERT_FALSE(reference.empty());
    int64_t counter = 0;
    EXPECT_EQ(1, Query(&counter, oid));
    EXPECT_EQ(reference, std::to_string(counter));
    EXPECT_EQ(std::vector<unsigned int>{200}, g_sleeps);
    EXPECT_FALSE(FileExists("vellarylog.txt"));
}

TEST_F(RealAgent, InOctetsLieBetweenTwoReadings)
{
    std::string oid = "1.3.6.1.2.1.2.2.1.10." + index_;
    int64_t before = std::stoll(g_snmpd->Get(oid));
    int64_t counter = 0;
    EXPECT_EQ(1, Query(&counter, oid));
    int64_t after = std::stoll(g_snmpd->Get(oid));
    EXPECT_LE(before, counter);
    EXPECT_LE(counter, after);
}

TEST_F(RealAgent, MissingObjectIsNoSuchName)
{
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter, "1.3.6.1.2.1.2.2.1.10.999999"));
    EXPECT_EQ(77, counter);
    std::string log = ReadFile("vellarylog.txt");
    EXPECT_NE(std::string::npos, log.find(",No such name.,\r\n")) << log;
}

TEST_F(RealAgent, WrongCommunityGetsNoReply)
{
    g_firstWaitMs = 1000;
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter, "1.3.6.1.2.1.2.2.1.5." + index_, "wrong"));
    EXPECT_EQ(77, counter);
    EXPECT_EQ((std::vector<unsigned int>{200, 500, 500, 500, 500, 500, 500, 500, 500}), g_sleeps);
    EXPECT_FALSE(FileExists("vellarylog.txt"));
}
