// The counter query and the log replaced too, for the tests of the poll alone.
#include "poll/clock.h"
#include "poll/snmpquery.h"
#include "records/log.h"
#include "tests/poll/poll_fakes.h"

std::atomic<int64_t> g_replyValue;

int SnmpGetObject(vsnmp::HWND hWnd, unsigned int wMsg, const SnmpTarget &target, const SnmpObject &object,
                  int64_t *pValue, int *pBits, int64_t *pSentMs)
{
    g_fake.queries.push_back(
        {target.device, target.community, object.text, hWnd, wMsg, g_replyValue.load(), object.translateMode});
    g_replyValue.store(777);  // what a reply leaves behind; the poll must clear it
    size_t k = g_fake.next++;
    int64_t answer = k < g_fake.answers.size() ? g_fake.answers[k] : 0;
    int64_t sentMs = MonotonicMs();
    g_fake.spentMs += answer == 0 ? g_fake.unansweredMs : g_fake.answeredMs;
    if (answer == 0)
        return 0;
    *pValue = answer;
    if (pBits)
        *pBits = k < g_fake.bits.size() ? g_fake.bits[k] : 32;
    if (pSentMs)
        *pSentMs = sentMs;
    return 1;
}

void WriteLog(const char *message, const char *detail)
{
    g_fake.log.push_back(std::string(message) + "," + (detail ? detail : ""));
}
