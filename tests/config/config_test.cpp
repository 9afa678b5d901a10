#include "config/config.h"
#include "config/textfile.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

#include "tests/config/shown_error.h"
#include "tests/support/files.h"

namespace {

// A table of ten records, filled with a marker so untouched bytes show.
struct Table {
    InterfaceRecord rec[MAX_INTERFACES];
    Table() { memset(rec, 0x5A, sizeof rec); }
};

int Scan(const std::string &text, Table *table)
{
    return ScanConfig(text.data(), static_cast<int>(text.size()), table->rec);
}

std::string Field(const char *field, size_t width)
{
    return std::string(field, FieldLength(field, width));
}
#define FIELD(rec, name) Field((rec).name, sizeof (rec).name)

const char kLine1[] = "Uplink,192.0.2.10,public,100000000,1.3.6.1.2.1.2.2.1.10.2,1.3.6.1.2.1.2.2.1.16.2,";
const char kLine2[] = "Backbone,192.0.2.20,s3cret,1000000000,1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,";

// The record's six fields, in file order, the speed as its number.
std::string Fields(const InterfaceRecord &rec)
{
    return FIELD(rec, strName) + "|" + FIELD(rec, strIP) + "|" + FIELD(rec, strCommunity) + "|" +
           std::to_string(rec.linkSpeed) + "|" + FIELD(rec, strOidIn) + "|" + FIELD(rec, strOidOut);
}

void ExpectWorkedExample(const Table &t)
{
    EXPECT_EQ("Uplink|192.0.2.10|public|100000000|1.3.6.1.2.1.2.2.1.10.2|1.3.6.1.2.1.2.2.1.16.2", Fields(t.rec[0]));
    EXPECT_EQ("Backbone|192.0.2.20|s3cret|1000000000|1.3.6.1.2.1.2.2.1.10.1|1.3.6.1.2.1.2.2.1.16.1", Fields(t.rec[1]));
}

TEST(ConfigScan, WorkedExampleLoadsTwoRecords)
{
    Table t;
    EXPECT_EQ(2, Scan(std::string(kLine1) + "\n" + kLine2 + "\n", &t));
    ExpectWorkedExample(t);
    // Each text field was zero-filled before its value went in.
    EXPECT_EQ(0, t.rec[0].strName[6]);
    EXPECT_EQ(0, t.rec[0].strName[14]);
}

TEST(ConfigScan, LastLineEndings)
{
    struct Case {
        const char *name;
        std::string text;
        int count;
        std::string lastOidOut;
    } cases[] = {
        {"comma, no line break", std::string(kLine1) + "\n" + kLine2, 2, "1.3.6.1.2.1.2.2.1.16.1"},
        {"no sixth comma at end of data", std::string(kLine1) + "\nB,1.2.3.4,c,10,1.1,1.2", 2, "1.2"},
        {"no sixth comma, line break after", std::string(kLine1) + "\nB,1.2.3.4,c,10,1.1,1.2\n", 2, "1.2\n"},
        {"empty line after last record", std::string(kLine1) + "\n\n", 1, "1.3.6.1.2.1.2.2.1.16.2"},
        {"partial line after last record", std::string(kLine1) + "\nHalf,10.0.0.1,pub", 1,
         "1.3.6.1.2.1.2.2.1.16.2"},
        {"data ends inside field 5", std::string(kLine1) + "\nB,1.2.3.4,c,10,1.1", 1, "1.3.6.1.2.1.2.2.1.16.2"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Table t;
        int count = Scan(c.text, &t);
        ASSERT_EQ(c.count, count);
        EXPECT_EQ(c.lastOidOut, FIELD(t.rec[count - 1], strOidOut));
    }
}

TEST(ConfigScan, IncompleteRecordKeepsItsFragmentsBeyondTheCount)
{
    Table t;
    EXPECT_EQ(1, Scan(std::string(kLine1) + "\nHalf,10.0.0.1,pub", &t));
    EXPECT_EQ("Half", FIELD(t.rec[1], strName));
    EXPECT_EQ("pub", FIELD(t.rec[1], strCommunity));
    // Nothing of record 2 was touched.
    EXPECT_EQ(0x5A, static_cast<unsigned char>(t.rec[2].strName[0]));
}

TEST(ConfigScan, EmptyDataGivesNoRecords)
{
    Table t;
    EXPECT_EQ(0, Scan("", &t));
    EXPECT_EQ(0x5A, static_cast<unsigned char>(t.rec[0].strName[0]));
}

TEST(ConfigScan, TwelveLinesLoadTen)
{
    std::string text;
    for (int k = 0; k < 12; k++)
        text += "If" + std::to_string(k) + ",127.0.0.1,public,1000,1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,\n";
    Table t;
    EXPECT_EQ(10, Scan(text, &t));
    EXPECT_EQ("If9", FIELD(t.rec[9], strName));
}

TEST(ConfigScan, FullWidthAndOverlongValues)
{
    Table t;
    ASSERT_EQ(1, Scan("ABCDEFGHIJKLMNO,10.1.2.3,public,1000,1.1,1.2,\n", &t));
    EXPECT_EQ(0, memcmp(t.rec[0].strName, "ABCDEFGHIJKLMNO", 15));  // no zero after it
    EXPECT_EQ("ABCDEFGHIJKLMNO", FIELD(t.rec[0], strName));
    EXPECT_EQ("10.1.2.3", FIELD(t.rec[0], strIP));

    // The 16th character starts the next field and everything after shifts along.
    Table u;
    ASSERT_EQ(1, Scan("ABCDEFGHIJKLMNOP,10.1.2.3,public,1000,1.1,1.2,\n", &u));
    EXPECT_EQ("ABCDEFGHIJKLMNO", FIELD(u.rec[0], strName));
    EXPECT_EQ("P", FIELD(u.rec[0], strIP));
    EXPECT_EQ("10.1.2.3", FIELD(u.rec[0], strCommunity));
    EXPECT_EQ(0, u.rec[0].linkSpeed);  // "public"
    EXPECT_EQ("1000", FIELD(u.rec[0], strOidIn));
    EXPECT_EQ("1.1", FIELD(u.rec[0], strOidOut));
}

TEST(ConfigScan, LeadingCommaIsData)
{
    Table t;
    ASSERT_EQ(1, Scan("Uplink,,10.1.2.3,public,1000,1.1,1.2,\n", &t));
    EXPECT_EQ(",10.1.2.3", FIELD(t.rec[0], strIP));
    EXPECT_EQ("public", FIELD(t.rec[0], strCommunity));

    // Only commas: each field takes one as data and the next as its end.
    Table u;
    EXPECT_EQ(1, Scan(std::string(13, ','), &u));
    EXPECT_EQ(",", FIELD(u.rec[0], strName));
    EXPECT_EQ(",", FIELD(u.rec[0], strOidOut));
    EXPECT_EQ(0, u.rec[0].linkSpeed);
}

TEST(ConfigScan, LinkSpeedZeroIsAccepted)
{
    Table t;
    ASSERT_EQ(2, Scan("A,1.2.3.4,c,0,1.1,1.2,\nB,1.2.3.5,c,abc,1.1,1.2,\n", &t));
    EXPECT_EQ(0, t.rec[0].linkSpeed);
    EXPECT_EQ("B", FIELD(t.rec[1], strName));
}

TEST(ConfigScan, JunkNeverLeavesTheTable)
{
    // The table sits between guards; ASan and the guard bytes both watch.
    struct Guarded {
        char before[64];
        InterfaceRecord rec[MAX_INTERFACES];
        char after[64];
    } g;
    std::mt19937 rng(20261207);
    for (int round = 0; round < 2000; round++) {
        std::string text(rng() % 5000, '\0');
        unsigned alphabet = round % 2 ? 256 : 4;  // half of them rich in commas and line breaks
        for (char &c : text) {
            unsigned v = rng() % alphabet;
            c = alphabet == 4 ? ",\nA\0"[v] : static_cast<char>(v);
        }
        memset(&g, 0x77, sizeof g);
        int count = ScanConfig(text.data(), static_cast<int>(text.size()), g.rec);
        ASSERT_GE(count, 0);
        ASSERT_LE(count, MAX_INTERFACES);
        for (size_t k = 0; k < sizeof g.before; k++) {
            ASSERT_EQ(0x77, static_cast<unsigned char>(g.before[k]));
            ASSERT_EQ(0x77, static_cast<unsigned char>(g.after[k]));
        }
    }
}

TEST(ParseSpeed, ConvertsLikeAtoiWithLimits)
{
    struct Case {
        const char *name;
        const char *text;
        int64_t value;
    } cases[] = {
        {"plain", "2048", 2048},
        {"leading blank", " 2048", 2048},
        {"leading tab and line break", "\t\n7", 7},
        {"letters", "abc", 0},
        {"digits then letters", "10M", 10},
        {"plus sign", "+15", 15},
        {"minus sign", "-15", -15},
        {"sign alone", "-", 0},
        {"int32 max", "2147483647", INT32_MAX},
        {"past int32", "2147483648", INT64_C(2147483648)},
        {"10 Gbit/s", "10000000000", INT64_C(10000000000)},
        {"twelve nines", "999999999999", INT64_C(999999999999)},
        {"int32 min", "-2147483648", INT32_MIN},
        {"twelve characters, negative", "-99999999999", INT64_C(-99999999999)},
        {"blank inside", "12 34", 12},
        {"int64 max", "9223372036854775807", INT64_MAX},
        {"past int64", "9223372036854775808", INT64_MAX},
        {"int64 min", "-9223372036854775808", INT64_MIN},
        {"below int64", "-99999999999999999999", INT64_MIN},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value, ParseSpeed(c.text, strlen(c.text)));
    }
    // Only the field's width is read, even without a zero byte.
    const char wide[12] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2'};
    EXPECT_EQ(INT64_C(123456789012), ParseSpeed(wide, sizeof wide));
    EXPECT_EQ(1234, ParseSpeed(wide, 4));
}

TEST(ConfigScan, SpeedFieldTakesTwelveDigits)
{
    Table t;
    EXPECT_EQ(2, Scan("Ten,192.0.2.1,public,10000000000,1.1,1.2,\n"
                      "Max,192.0.2.2,public,999999999999,1.1,1.2,\n",
                      &t));
    EXPECT_EQ(INT64_C(10000000000), t.rec[0].linkSpeed);
    EXPECT_EQ(INT64_C(999999999999), t.rec[1].linkSpeed);
    EXPECT_EQ("1.1", FIELD(t.rec[1], strOidIn));  // the comma after a full field still ends it
}

TEST(TextMode, CrLfBecomesLfAndCtrlZEnds)
{
    struct Case {
        const char *name;
        std::string raw;
        std::string text;
    } cases[] = {
        {"CR LF pairs", "a\r\nb\r\n", "a\nb\n"},
        {"lone CR kept", "a\rb\r", "a\rb\r"},
        {"CR CR LF", "a\r\r\nb", "a\r\nb"},
        {"Ctrl-Z ends the data", std::string("ab\x1A" "cd", 5), "ab"},
        {"zero bytes are data", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        char out[64];
        int n = TextModeTranslate(c.raw.data(), c.raw.size(), out, sizeof out);
        EXPECT_EQ(c.text, std::string(out, static_cast<size_t>(n)));
    }
    char small[3];
    EXPECT_EQ(3, TextModeTranslate("a\r\nbcdef", 8, small, sizeof small));
    EXPECT_EQ(0, memcmp(small, "a\nb", 3));
}

class LoadConfigFile : public InTempDir {
protected:
    Table t;
};

TEST_F(LoadConfigFile, CrLfAndLfFilesLoadAlike)
{
    WriteFile(CONFIG_FILE_NAME, std::string(kLine1) + "\r\n" + kLine2 + "\r\n");
    EXPECT_EQ(2, LoadConfig(t.rec));
    ExpectWorkedExample(t);

    Table u;
    WriteFile(CONFIG_FILE_NAME, std::string(kLine1) + "\n" + kLine2 + "\n");
    EXPECT_EQ(2, LoadConfig(u.rec));
    ExpectWorkedExample(u);
}

TEST_F(LoadConfigFile, ShippedExampleLoadsAsWritten)
{
    // The release zip's example: a 1 Gbit/s line on the 32-bit counters and a
    // 10 Gbit/s line on the 64-bit ones, every value inside its field.
    WriteFile(CONFIG_FILE_NAME, ReadFile(VELLARY_EXAMPLE_CFG));
    ASSERT_EQ(2, LoadConfig(t.rec));
    EXPECT_EQ("Uplink|192.0.2.1|public|1000000000|1.3.6.1.2.1.2.2.1.10.2|1.3.6.1.2.1.2.2.1.16.2", Fields(t.rec[0]));
    EXPECT_EQ("Core 10G|192.0.2.2|public|10000000000|1.3.6.1.2.1.31.1.1.1.6.5|1.3.6.1.2.1.31.1.1.1.10.5",
              Fields(t.rec[1]));
}

TEST_F(LoadConfigFile, EmptyFileGivesZeroWithoutMessage)
{
    WriteFile(CONFIG_FILE_NAME, "");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(0, LoadConfig(t.rec));
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
}

TEST_F(LoadConfigFile, LongFileLoadsTenRecords)
{
    // Far beyond the 4999 characters read: ten records, and nothing else happens.
    std::string text;
    for (int k = 0; k < 2000; k++)
        text += "If" + std::to_string(k) + ",127.0.0.1,public,1000,1.1,1.2,\r\n";
    WriteFile(CONFIG_FILE_NAME, text);
    EXPECT_EQ(10, LoadConfig(t.rec));
    EXPECT_EQ("If9", FIELD(t.rec[9], strName));
}

TEST_F(LoadConfigFile, CtrlZInTheMiddleEndsTheData)
{
    WriteFile(CONFIG_FILE_NAME, std::string(kLine1) + "\n\x1A" + kLine2 + "\n");
    EXPECT_EQ(1, LoadConfig(t.rec));
}

TEST_F(LoadConfigFile, MissingFileIsReportedAndGivesZero)
{
    int count = -1;
    EXPECT_EQ("ERROR: Failed to open configuration file\n", ShownError([&] { count = LoadConfig(t.rec); }));
    EXPECT_EQ(0, count);
}

// The bytes of ASCII text as UTF-16, in either byte order, with or without its mark.
std::string Utf16(const std::string &text, bool bigEndian, bool mark)
{
    std::string bytes = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (char c : text)
        bytes += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    return bytes;
}

TEST_F(LoadConfigFile, AsWindowsEditorsSaveIt)
{
    const std::string text = "ABCDEFGHIJKLMNO,192.0.2.10,public,100000000,1.1,1.2,\r\n" + std::string(kLine2) + "\r\n";
    const std::string utf16 = "ERROR: vellary.cfg is saved as UTF-16 (Unicode). Save it as ANSI or UTF-8.\n";
    struct Case {
        const char *name;
        std::string bytes;
        int count;
        std::string shown;
    } cases[] = {
        // The mark is skipped, so it shifts no field of a 15-character name.
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + text, 2, ""},
        {"UTF-16 LE with its mark", Utf16(text, false, true), 0, utf16},
        {"UTF-16 BE with its mark", Utf16(text, true, true), 0, utf16},
        {"UTF-16 LE without a mark", Utf16(text, false, false), 0, utf16},
        {"UTF-16 BE without a mark", Utf16(text, true, false), 0, utf16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(CONFIG_FILE_NAME, c.bytes);
        Table u;
        int count = -1;
        EXPECT_EQ(c.shown, ShownError([&] { count = LoadConfig(u.rec); }));
        ASSERT_EQ(c.count, count);
        if (count > 0) {
            EXPECT_EQ("ABCDEFGHIJKLMNO|192.0.2.10|public|100000000|1.1|1.2", Fields(u.rec[0]));
            EXPECT_EQ("Backbone", FIELD(u.rec[1], strName));
        }
    }
    // A UTF-8 name is its bytes, the rest of the line in place.
    WriteFile(CONFIG_FILE_NAME, "B\xC3\xBCro-S\xC3\xBC\x64,192.0.2.1,public,1000,1.1,1.2,\r\n");
    ASSERT_EQ(1, LoadConfig(t.rec));
    EXPECT_EQ("B\xC3\xBCro-S\xC3\xBC\x64|192.0.2.1|public|1000|1.1|1.2", Fields(t.rec[0]));
}

TEST(FieldValue, StopsAtZeroOrWidth)
{
    char full[15];
    memcpy(full, "ABCDEFGHIJKLMNO", 15);
    EXPECT_STREQ("ABCDEFGHIJKLMNO", FieldValue(full).str);
    char shorter[15] = "Uplink";
    EXPECT_STREQ("Uplink", FieldValue(shorter).str);
    EXPECT_EQ(6u, FieldLength(shorter, sizeof shorter));
}

}  // namespace
