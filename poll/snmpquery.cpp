// One SNMP GET made blocking: the query sends and then sleeps in steps,
// testing the slot that the reply callback fills from the stack's own thread.
#include "poll/snmpquery.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "poll/clock.h"
#include "records/log.h"

using namespace vsnmp;

std::atomic<int64_t> g_replyValue{0};

namespace {

// What the callback may log, each kind at most twice per query: a device that
// floods the query adds a few lines, not one per datagram.
enum CallbackLine { RECV_FAILURE, PDU_DATA_FAILURE, NO_SUCH_NAME, GET_VB_FAILURE, CALLBACK_LINE_KINDS };
const int kLinesPerKind = 2;
std::atomic<int> g_callbackLines[CALLBACK_LINE_KINDS];

const char *const kCallbackMessages[CALLBACK_LINE_KINDS] = {"SnmpRecvMsg failure", "SnmpGetPduData failure",
                                                             "No such name.", "SnmpGetVb failure"};

void LogFromCallback(CallbackLine kind)
{
    if (g_callbackLines[kind].fetch_add(1) < kLinesPerKind)
        WriteLog(kCallbackMessages[kind], nullptr);
}

// The query's side of its callback, handed over as the session's client data: the
// object asked for, and the width of the value the callback stored in the slot;
// for SNMPv3 the device's address and the failures already logged. It lives until
// the query's SnmpCleanup, after which no callback runs.
struct Question {
    smiOID oid;
    std::atomic<int> valueBits{0};
    const char *device = "";
    std::atomic<unsigned> v3Logged{0};
};

// SNMPv3's reasons for a failed request, in the stack's order from
// SNMPAPI_V3_UNKNOWN_USER on; each is logged at most once per query, with the
// device's address.
const char *const kV3Messages[] = {"SNMPv3 unknown user",        "SNMPv3 wrong password",
                                   "SNMPv3 unsupported security level", "SNMPv3 decryption error",
                                   "SNMPv3 unknown engine",      "SNMPv3 not in time window",
                                   "SNMPv3 authentication failure"};
const int kV3Kinds = sizeof kV3Messages / sizeof kV3Messages[0];

void LogV3Failure(Question *question, WPARAM wParam)
{
    if (!question || wParam < SNMPAPI_V3_UNKNOWN_USER || wParam >= SNMPAPI_V3_UNKNOWN_USER + kV3Kinds)
        return;
    unsigned bit = 1u << static_cast<unsigned>(wParam - SNMPAPI_V3_UNKNOWN_USER);
    if (!(question->v3Logged.fetch_or(bit) & bit))
        WriteLog(kV3Messages[wParam - SNMPAPI_V3_UNKNOWN_USER], question->device);
}

}  // namespace

int SnmpGetObject(HWND hWnd, unsigned int wMsg, const SnmpTarget &target, const SnmpObject &object, int64_t *pValue,
                  int *pBits, int64_t *pSentMs)
{
    char strSourceIP[10];
    smiUINT32 uiMajorVersion, uiMinorVersion, uiLevel, uiTranslateMode, uiRetransmitMode;
    smiOID _smiOID;

    snprintf(strSourceIP, sizeof strSourceIP, "%s", "127.0.0.1");
    _smiOID.len = 0;
    _smiOID.ptr = nullptr;
    HSNMP_VBL hVbl = nullptr;

    // The label itself is never sent, and a bad line's label is not asked at all.
    const V3User *user = target.user;
    if (user && !user->valid)
        return 0;

    if (SnmpStartup(&uiMajorVersion, &uiMinorVersion, &uiLevel, &uiTranslateMode, &uiRetransmitMode) !=
        SNMPAPI_SUCCESS) {
        WriteLog("SNMP Start up failure", nullptr);
        return 0;
    }
    SnmpSetRetransmitMode(SNMPAPI_OFF);

    Question question;
    HSNMP_SESSION hSession = SnmpCreateSession(hWnd, wMsg, SnmpReplyCallback, &question);
    if (hSession == nullptr)
        WriteLog("SnmpCreateSession failure", nullptr);
    // Parsed once per poll: the stack's SnmpStrToOid would only parse it again.
    if (object.len == 0)
        WriteLog("SnmpStrToOid failure", nullptr);
    else
        _smiOID = {object.len, const_cast<smiLPUINT32>(object.ids)};
    question.oid = _smiOID;
    question.device = target.device ? target.device : "";
    hVbl = SnmpCreateVbl(hSession, &_smiOID, nullptr);
    if (hVbl == nullptr)
        WriteLog("SnmpCreateVbl failure", nullptr);
    HSNMP_PDU hPdu = SnmpCreatePdu(hSession, SNMP_PDU_GET, 1, 0, 0, hVbl);
    if (hPdu == nullptr)
        WriteLog("SnmpCreatePdu failure", nullptr);

    SnmpSetTranslateMode(object.translateMode);
    HSNMP_ENTITY hLocalEntity = SnmpStrToEntity(hSession, strSourceIP);
    if (hLocalEntity == nullptr)
        WriteLog("SnmpStrToEntity failure", nullptr);
    HSNMP_ENTITY hDeviceEntity = SnmpStrToEntity(hSession, target.device);
    if (hDeviceEntity == nullptr)
        WriteLog("SnmpStrToEntity failure", nullptr);
    // The port goes on the local entity; the device entity keeps the stack's 161.
    if (SnmpSetPort(hLocalEntity, 161) == SNMPAPI_FAILURE)
        WriteLog("SnmpSetPort failure", nullptr);

    if (user) {
        SnmpV3User v3 = StackUser(*user);
        SnmpSetEntityUser(hDeviceEntity, &v3);  // fails only with the device entity, already logged
    }
    smiOCTETS octets = ContextOctets(target.community, user);
    HSNMP_CONTEXT hContext = SnmpStrToContext(hSession, &octets);

    for (std::atomic<int> &lines : g_callbackLines)
        lines = 0;
    if (SnmpSendMsg(hSession, hLocalEntity, hDeviceEntity, hContext, hPdu) != SNMPAPI_SUCCESS)
        WriteLog("SNMP Send Message failure", nullptr);
    // The reading is the agent's as the request reached it: timed as the request
    // left, not at the start of the poll, so neither the probe nor the other
    // direction's wait counts into its interval. After the call, not before it: a
    // send may wait before its datagram goes (under Wine up to tens of ms on a
    // busy machine), and returns as soon as it went. (The first SNMPv3 request of
    // an engine goes a round trip later, after the discovery: a baseline.)
    int64_t sentMs = MonotonicMs();

    QuerySleep(200);
    for (int i = 0; i < 8; i++) {
        if (g_replyValue.load(std::memory_order_acquire) != 0)
            break;
        QuerySleep(500);
    }

    // Cleanup frees everything above and ends the receiver, waiting for a running
    // callback: after it the slot holds its final value.
    SnmpCleanup();
    int64_t replyValue = g_replyValue.load(std::memory_order_acquire);
    if (replyValue != 0) {
        *pValue = replyValue;
        if (pBits)
            *pBits = question.valueBits;
        if (pSentMs)
            *pSentMs = sentMs;
        return 1;
    }
    return 0;
}

int SnmpGetCounter(HWND hWnd, unsigned int wMsg, int64_t *pCounter, const char *strDeviceIP,
                   const char *strDeviceCommunity, const char *strOid, int *pCounterBits)
{
    SnmpTarget target = ResolveTarget(strDeviceIP, strDeviceCommunity);
    SnmpObject object;
    ResolveObject(target, strOid, &object);
    return SnmpGetObject(hWnd, wMsg, target, object, pCounter, pCounterBits);
}

// A syntax whose value is a 32-bit number; anything else leaves the slot alone.
static bool HoldsNumber(smiUINT32 syntax)
{
    return syntax == SNMP_SYNTAX_INT || syntax == SNMP_SYNTAX_CNTR32 || syntax == SNMP_SYNTAX_GAUGE32 ||
           syntax == SNMP_SYNTAX_TIMETICKS || syntax == SNMP_SYNTAX_UINT32;
}

// SNMPv2c's way of saying noSuchName, in the binding instead of the error status.
static bool IsException(smiUINT32 syntax)
{
    return syntax == SNMP_SYNTAX_NOSUCHOBJECT || syntax == SNMP_SYNTAX_NOSUCHINSTANCE ||
           syntax == SNMP_SYNTAX_ENDOFMIBVIEW;
}

// Whether a binding's name is the object the query asked for.
static bool NamesTheObject(const smiOID &name, const Question *question)
{
    return question && name.len == question->oid.len && name.len > 0 &&
           memcmp(name.ptr, question->oid.ptr, name.len * sizeof *name.ptr) == 0;
}

SNMPAPI_STATUS SnmpReplyCallback(HSNMP_SESSION hSession, HWND, UINT, WPARAM wParam, LPARAM, LPVOID lpClientData)
{
    Question *question = static_cast<Question *>(lpClientData);
    HSNMP_ENTITY srcEntity = nullptr, dstEntity = nullptr;
    HSNMP_CONTEXT context = nullptr;
    HSNMP_PDU hPdu = nullptr;
    smiINT smiInt32Error = 0;
    HSNMP_VBL varbindlist = nullptr;
    smiOID oid;
    smiVALUE val;
    char octetbuffer[25];

    if (wParam != 0) {
        LogV3Failure(question, wParam);
        return SNMPAPI_SUCCESS;
    }

    if (SnmpRecvMsg(hSession, &srcEntity, &dstEntity, &context, &hPdu) != SNMPAPI_SUCCESS) {
        // Nothing was handed over: nothing to read or release.
        LogFromCallback(RECV_FAILURE);
        return SNMPAPI_SUCCESS;
    }

    bool haveValue = false;
    int64_t value = 0;
    int valueBits = 32;
    if (SnmpGetPduData(hPdu, nullptr, nullptr, &smiInt32Error, nullptr, &varbindlist) != SNMPAPI_SUCCESS) {
        LogFromCallback(PDU_DATA_FAILURE);
    } else {
        if (smiInt32Error == SNMP_ERROR_NOSUCHNAME)
            LogFromCallback(NO_SUCH_NAME);
        // A binding for another object answers some other question.
        if (SnmpGetVb(varbindlist, 1, &oid, &val) != SNMPAPI_SUCCESS || !NamesTheObject(oid, question)) {
            LogFromCallback(GET_VB_FAILURE);
        } else if (HoldsNumber(val.syntax)) {
            // Widened without sign: an INTEGER -1 becomes 4294967295.
            smiUINT32 uNumber = val.syntax == SNMP_SYNTAX_INT ? static_cast<smiUINT32>(val.value.sNumber)
                                                               : val.value.uNumber;
            snprintf(octetbuffer, sizeof octetbuffer, "%u", uNumber);
            value = strtoll(octetbuffer, nullptr, 10);
            haveValue = true;
        } else if (val.syntax == SNMP_SYNTAX_CNTR64) {
            // Only SNMPv2c replies carry one (the stack drops it from SNMPv1). Above
            // 2^63 - 1 it is no reading: centuries away at any real link speed.
            uint64_t hNumber = (static_cast<uint64_t>(val.value.hNumber.hipart) << 32) | val.value.hNumber.lopart;
            if (hNumber <= static_cast<uint64_t>(INT64_MAX)) {
                value = static_cast<int64_t>(hNumber);
                valueBits = 64;
                haveValue = true;
            }
        } else if (IsException(val.syntax) && smiInt32Error != SNMP_ERROR_NOSUCHNAME) {
            LogFromCallback(NO_SUCH_NAME);
        }
        SnmpFreeVbl(varbindlist);
    }
    SnmpFreePdu(hPdu);
    SnmpFreeEntity(srcEntity);
    SnmpFreeEntity(dstEntity);

    // Stored last, after the releases, so a query that sees it has nothing of
    // this reply left to overlap with; the width goes with it.
    if (haveValue) {
        question->valueBits = valueBits;
        g_replyValue.store(value, std::memory_order_release);
    }
    return SNMPAPI_SUCCESS;
}
