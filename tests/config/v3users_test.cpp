#include "config/v3users.h"

#include <gtest/gtest.h>

#include <string>

#include "config/config.h"
#include "tests/config/shown_error.h"
#include "tests/support/files.h"

using namespace vsnmp::usm;

namespace {

struct Scanned {
    V3User users[MAX_V3_USERS];
    int count = 0;
    int whole = 0;
    std::string errors;
};

Scanned Scan(const std::string &text)
{
    Scanned s;
    char errors[V3_ERRORS_CHARS];
    s.count = ScanV3Users(text.data(), text.size(), s.users, MAX_V3_USERS, errors, sizeof errors, &s.whole);
    s.errors = errors;
    return s;
}

std::string Describe(const V3User &u)
{
    return std::string(u.label) + "|" + u.userName + "|" + std::to_string(u.auth) + "|" + u.authPassword + "|" +
           std::to_string(u.priv) + "|" + u.privPassword;
}

}  // namespace

TEST(V3UsersScan, GoodLines)
{
    struct {
        const char *line;
        const char *user;
    } const cases[] = {
        {"core,monitor,SHA-256,authpass1,AES,privpass1", "core|monitor|3|authpass1|1|privpass1"},
        {"edge,mon,sha-512,authpass1,aes-256c,privpass1", "edge|mon|5|authpass1|5|privpass1"},
        {"ns,mon,SHA256,authpass1,AES-192-C,privpass1", "ns|mon|3|authpass1|4|privpass1"},
        {"lab,mon,MD5,authpass1,,", "lab|mon|1|authpass1|0|"},
        {"open,guest,,,,", "open|guest|0||0|"},
        {"q,\"a,b\",SHA,\"pa,ss\"\"word\",AES-192,\"\"\"12345678\"", "q|a,b|2|pa,ss\"word|2|\"12345678"},
        {"1234567890,u,SHA-384,authpass1,AES-256,privpass1", "1234567890|u|4|authpass1|3|privpass1"},
    };
    for (const auto &c : cases) {
        Scanned s = Scan(c.line);
        EXPECT_EQ("", s.errors) << c.line;
        ASSERT_EQ(1, s.count) << c.line;
        EXPECT_EQ(1, s.users[0].valid) << c.line;
        EXPECT_EQ(c.user, Describe(s.users[0]));
    }
}

// Each bad line is named with its number; its label is kept (so its records are
// held back) and no password ever shows in the message.
TEST(V3UsersScan, BadLinesAreNamedWithoutTheirSecrets)
{
    struct {
        const char *line;
        const char *problem;
    } const cases[] = {
        {"core,mon,SHA,SECRETpw1,AES,SECRETpw2,x", "7 fields where LABEL,USER,AUTH,AUTHPASS,PRIV,PRIVPASS are 6"},
        {"core,mon,SHA,SECRETpw1,AES", "5 fields where LABEL,USER,AUTH,AUTHPASS,PRIV,PRIVPASS are 6"},
        {"core,mon,SHA1X,SECRETpw1,AES,SECRETpw2",
         "unknown authentication protocol: use MD5, SHA, SHA-256, SHA-384 or SHA-512"},
        {"core,mon,SHA,SECRETpw1,AES-512,SECRETpw2",
         "unknown privacy protocol: use AES, AES-192, AES-256, AES-192C or AES-256C"},
        {"core,mon,SHA-224,SECRETpw1,AES,SECRETpw2",
         "SHA-224 is not offered (Windows' cryptography has none): use SHA-256, SHA-384 or SHA-512"},
        {"core,mon,SHA,SECRETpw1,DES,SECRETpw2", "DES is refused: it is a broken 56-bit cipher; use AES"},
        {"core,mon,SHA,,AES,SECRETpw2", "empty authentication password"},
        {"core,mon,SHA,SECRETpw1,AES,", "empty privacy password"},
        {"core,mon,SHA,SECRET7,AES,SECRETpw2", "authentication password shorter than 8 characters"},
        {"core,mon,SHA,SECRETpw1,AES,SECRET7", "privacy password shorter than 8 characters"},
        {"core12345678,mon,SHA,SECRETpw1,AES,SECRETpw2",
         "label longer than 10 characters, the width of the community field"},
        {",mon,SHA,SECRETpw1,AES,SECRETpw2", "empty label"},
        {"core,,SHA,SECRETpw1,AES,SECRETpw2", "empty user name"},
        {"core,mon,,,AES,SECRETpw2", "privacy needs authentication too"},
        {"core,mon,,SECRETpw1,,", "an authentication password without its protocol"},
        {"core,mon,SHA,\"SECRETpw1,AES,SECRETpw2", "a quote is not closed"},
        {"core,mon,SHA,\"SECRETpw1\"x,AES,SECRETpw2", "text follows a closing quote"},
    };
    for (const auto &c : cases) {
        // A good line first, then a blank one: the bad line is the file's third.
        Scanned s = Scan(std::string("other,mon,SHA,authpass1,,\n\n") + c.line + "\n");
        EXPECT_EQ(std::string("vellary-v3.cfg line 3: ") + c.problem, s.errors) << c.line;
        ASSERT_EQ(2, s.count) << c.line;
        EXPECT_EQ(1, s.users[0].valid);
        EXPECT_EQ(0, s.users[1].valid) << c.line;
        std::string line = c.line;
        EXPECT_EQ(line.substr(0, std::min<size_t>(line.find(','), V3_LABEL_CHARS)), s.users[1].label);
        EXPECT_EQ(std::string::npos, s.errors.find("SECRET"));
    }
}

TEST(V3UsersScan, LabelUsedTwiceAndTooManyLines)
{
    Scanned twice = Scan("core,a,SHA,authpass1,,\ncore,b,SHA,authpass1,,\n");
    EXPECT_EQ("vellary-v3.cfg line 2: label core is used twice", twice.errors);
    EXPECT_EQ(0, twice.users[1].valid);

    std::string many;
    for (int k = 0; k <= MAX_V3_USERS; k++)
        many += "l" + std::to_string(k) + ",u,SHA,authpass1,,\n";
    Scanned s = Scan(many);
    EXPECT_EQ(MAX_V3_USERS, s.count);
    EXPECT_EQ(0, s.whole);
    EXPECT_EQ("vellary-v3.cfg line 33: more users than this file may hold", s.errors);
}

class V3UsersFile : public InTempDir {
protected:
    void TearDown() override
    {
        g_v3UserCount = 0;
        g_v3Unreadable = 0;
        InTempDir::TearDown();
    }
};

TEST_F(V3UsersFile, NoFileNoUsersNoMessage)
{
    EXPECT_EQ("", ShownError(LoadV3Users));
    EXPECT_EQ(nullptr, FindV3User("public"));
}

TEST_F(V3UsersFile, BadLinesShownOnceTheRestLoaded)
{
    WriteFile(V3_CONFIG_FILE_NAME, "core,mon,SHA-256,authpass1,AES,privpass1\r\nedge,mon,SHA,authpass1,DES,privpass1\r\n"
                                   "lab,mon,MD5,short,,\r\n");
    EXPECT_EQ("ERROR: vellary-v3.cfg line 2: DES is refused: it is a broken 56-bit cipher; use AES\n"
              "vellary-v3.cfg line 3: authentication password shorter than 8 characters\n",
              ShownError(LoadV3Users));
    ASSERT_NE(nullptr, FindV3User("core"));
    EXPECT_EQ(1, FindV3User("core")->valid);
    EXPECT_STREQ("privpass1", FindV3User("core")->privPassword);
    ASSERT_NE(nullptr, FindV3User("edge"));
    EXPECT_EQ(0, FindV3User("edge")->valid);
    EXPECT_EQ(nullptr, FindV3User("public"));
}

// Counted in characters as read, each CR LF one: the limit itself loads, one more is refused.
TEST_F(V3UsersFile, LongestFileLoadsAndOneCharacterMoreIsRefused)
{
    const std::string line = "core,mon,SHA-256,authpass1,AES,privpass1";
    for (int extra = 0; extra <= 1; extra++) {
        SCOPED_TRACE(extra);
        std::string text = line;
        for (size_t chars = line.size(); chars < V3_CONFIG_MAX_CHARS + static_cast<size_t>(extra); chars++)
            text += "\r\n";
        WriteFile(V3_CONFIG_FILE_NAME, text);
        std::string shown = ShownError(LoadV3Users);
        EXPECT_EQ(extra ? "ERROR: vellary-v3.cfg is longer than 16384 characters\n"
                          "No interface is polled until it can be read whole.\n"
                        : "",
                  shown);
        ASSERT_NE(nullptr, FindV3User("core"));
        EXPECT_EQ(1 - extra, FindV3User("core")->valid);
    }
}

// A file that is there but cannot be read leaves labels unknown: every record is
// then held back rather than its label sent as a community.
TEST_F(V3UsersFile, UnreadableFileHoldsEveryRecordBack)
{
    std::filesystem::create_directory(V3_CONFIG_FILE_NAME);
    std::string shown = ShownError(LoadV3Users);
    EXPECT_NE(std::string::npos, shown.find("No interface is polled until it can be read whole.")) << shown;
    ASSERT_NE(nullptr, FindV3User("public"));
    EXPECT_EQ(0, FindV3User("public")->valid);
}

TEST_F(V3UsersFile, AsWindowsEditorsSaveIt)
{
    // With a UTF-8 mark the first label is read as written.
    WriteFile(V3_CONFIG_FILE_NAME, std::string("\xEF\xBB\xBF") + "core,mon,SHA-256,authpass1,AES,privpass1\r\n");
    EXPECT_EQ("", ShownError(LoadV3Users));
    ASSERT_NE(nullptr, FindV3User("core"));
    EXPECT_EQ(1, FindV3User("core")->valid);

    // UTF-16 is not read as bytes: no label is known, so nothing is polled.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("core,mon,SHA-256,authpass1,AES,privpass1\r\n"))
        utf16 += std::string(1, c) + '\0';
    WriteFile(V3_CONFIG_FILE_NAME, utf16);
    EXPECT_EQ("ERROR: vellary-v3.cfg is saved as UTF-16 (Unicode). Save it as ANSI or UTF-8.\n"
              "No interface is polled until it can be read whole.\n",
              ShownError(LoadV3Users));
    ASSERT_NE(nullptr, FindV3User("core"));
    EXPECT_EQ(0, FindV3User("core")->valid);
}
