// The stack's receiver thread hands each reply over through one slot under a
// lock; the walker waits on a condition variable for it. Every try of a request
// carries the same request id, so a late answer to an earlier try still counts.
#include "cfgtool/asking.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "cfgtool/messages.h"
#include "cfgtool/system.h"
#include "poll/target.h"

using namespace vsnmp;

namespace {

// The request the walker waits for, and its reply once it came.
struct ReplySlot {
    std::mutex lock;
    std::condition_variable arrived;
    smiINT32 requestId = 0;  // 0: none awaited
    bool full = false;
    Answer answer;
    WPARAM refusal = 0;  // an SNMPv3 agent's refusal of the request awaited
};

ReplySlot g_slot;
smiINT32 g_lastRequestId = 0;

const char kIfNumber[] = "1.3.6.1.2.1.2.1.0";

SNMPAPI_STATUS WalkReplyCallback(HSNMP_SESSION hSession, HWND, UINT, WPARAM wParam, LPARAM lParam, LPVOID)
{
    // An SNMPv3 failure ends the wait for the request it names; a reply that
    // did not verify is only dropped, and the genuine one may still come.
    if (wParam >= SNMPAPI_V3_UNKNOWN_USER && wParam < SNMPAPI_V3_AUTHENTICATION_FAILURE) {
        std::lock_guard<std::mutex> guard(g_slot.lock);
        if (lParam == g_slot.requestId && g_slot.requestId != 0) {
            g_slot.refusal = wParam;
            g_slot.arrived.notify_one();
        }
    }
    if (wParam != 0)
        return SNMPAPI_SUCCESS;
    HSNMP_PDU hPdu = nullptr;
    HSNMP_VBL hVbl = nullptr;
    smiINT pduType = 0, errorStatus = 0, errorIndex = 0;
    smiINT32 requestId = 0;
    if (SnmpRecvMsg(hSession, nullptr, nullptr, nullptr, &hPdu) != SNMPAPI_SUCCESS)
        return SNMPAPI_SUCCESS;
    bool taken = false;
    if (SnmpGetPduData(hPdu, &pduType, &requestId, &errorStatus, &errorIndex, &hVbl) == SNMPAPI_SUCCESS &&
        pduType == SNMP_PDU_RESPONSE) {
        // Only the reply to the request in flight: a late one to an earlier
        // request must not pass for it.
        std::lock_guard<std::mutex> guard(g_slot.lock);
        if (!g_slot.full && requestId == g_slot.requestId && requestId != 0) {
            g_slot.answer.errorStatus = errorStatus;
            g_slot.answer.errorIndex = errorIndex;
            g_slot.answer.count = SnmpCountVbl(hVbl);
            g_slot.answer.pdu = hPdu;
            g_slot.answer.vbl = hVbl;
            g_slot.full = true;
            taken = true;
            g_slot.arrived.notify_one();
        }
    }
    if (!taken) {
        SnmpFreeVbl(hVbl);
        SnmpFreePdu(hPdu);
    }
    return SNMPAPI_SUCCESS;
}

// A list of the names, each with a NULL value, or 0 with failedCall set.
HSNMP_VBL MakeList(Asking *asking, const smiOID *names, int count)
{
    HSNMP_VBL hVbl = SnmpCreateVbl(asking->session, nullptr, nullptr);
    if (!hVbl) {
        asking->failedCall = "SnmpCreateVbl";
        return nullptr;
    }
    for (int k = 0; k < count; k++) {
        if (SnmpSetVb(hVbl, 0, &names[k], nullptr) == SNMPAPI_FAILURE) {
            asking->failedCall = "SnmpSetVb";
            SnmpFreeVbl(hVbl);
            return nullptr;
        }
    }
    return hVbl;
}

// What an SNMPv3 agent's refusal says to check.
const char *RefusalAdvice(WPARAM refusal)
{
    switch (refusal) {
    case SNMPAPI_V3_UNKNOWN_USER:
        return "has no such user: check USER in vellary-v3.cfg and the device's users";
    case SNMPAPI_V3_WRONG_DIGESTS:
        return "found the request's digest wrong: check AUTH and AUTHPASS";
    case SNMPAPI_V3_UNSUPPORTED_SECURITY_LEVEL:
        return "does not give the user that security level: check PRIV and PRIVPASS against the device's user";
    case SNMPAPI_V3_DECRYPTION_ERROR:
        return "could not decrypt the request, or its answer could not be: check PRIV (AES-256 or AES-256C, say) "
               "and PRIVPASS";
    case SNMPAPI_V3_UNKNOWN_ENGINE:
        return "named no usable SNMP engine: check what answers at that address";
    default:
        return "kept its engine's clock (boots and time) out of step even after one more try: check the device";
    }
}

}  // namespace

int StartAsking(Asking *asking, const char *host, const char *community, const V3User *user)
{
    memset(asking, 0, sizeof *asking);
    // Each use of the stack has sockets of its own, so nothing sent before
    // can answer a request of this one: ids start afresh.
    g_lastRequestId = 0;
    asking->host = host;
    asking->community = community;
    asking->user = user;
    if (SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr) != SNMPAPI_SUCCESS) {
        asking->failedCall = "SnmpStartup";
        return ASK_FAILED;
    }
    asking->session = SnmpCreateSession(nullptr, 0, WalkReplyCallback, nullptr);
    // The stack sends from whichever local address reaches the device; the
    // source entity only has to be valid.
    asking->local = asking->session ? SnmpStrToEntity(asking->session, "127.0.0.1") : nullptr;
    // An entity speaks the version of the translate mode it was made in: a
    // label's user SNMPv3 only, and a label is never sent as a community.
    const smiUINT32 modes[ASK_VERSIONS] = {SNMPAPI_UNTRANSLATED_V2, SNMPAPI_UNTRANSLATED_V1, SNMPAPI_UNTRANSLATED_V3};
    int first = user ? ASK_V3 : ASK_V2C, last = user ? ASK_V3 : ASK_V1;
    int devices = 0;
    for (int v = first; v <= last && asking->local; v++) {
        SnmpSetTranslateMode(modes[v]);
        asking->device[v] = SnmpStrToEntity(asking->session, host);
        devices += asking->device[v] != nullptr;
    }
    if (user && asking->device[ASK_V3]) {
        SnmpV3User v3 = StackUser(*user);
        if (SnmpSetEntityUser(asking->device[ASK_V3], &v3) == SNMPAPI_FAILURE)
            devices = -1;
    }
    asking->version = first;
    smiOCTETS octets = ContextOctets(community, user);
    int wanted = last - first + 1;
    asking->context = devices == wanted ? SnmpStrToContext(asking->session, &octets) : nullptr;
    if (asking->context)
        return ASK_ANSWERED;
    asking->failedCall = !asking->session ? "SnmpCreateSession"
                         : devices < 0            ? "SnmpSetEntityUser"
                         : devices < wanted       ? "SnmpStrToEntity"
                                                  : "SnmpStrToContext";
    SnmpCleanup();
    asking->session = nullptr;
    return ASK_FAILED;
}

void StopAsking(Asking *asking)
{
    if (asking->session)
        SnmpCleanup();
    asking->session = nullptr;
}

int SendFailure(const Asking *asking, FILE *err)
{
    if (asking->refusal != 0)
        return Fail(err, "vellary-cfg: the agent at %s, asked as SNMPv3 user \"%s\" (label %s), %s\n", asking->host,
                    asking->user ? asking->user->userName : "", asking->community, RefusalAdvice(asking->refusal));
    return Fail(err,
                "vellary-cfg: could not send a request to %s (%s failed): check the address, and that this "
                "system lets programs send UDP datagrams\n",
                asking->host, asking->failedCall);
}

int ChooseVersion(Asking *asking, smiUINT32 *ifNumber, FILE *err)
{
    static const char *const kNames[ASK_VERSIONS] = {"SNMPv2c", "SNMPv1", "SNMPv3"};
    *ifNumber = 0;
    smiOID oid;
    if (SnmpStrToOid(kIfNumber, &oid) == SNMPAPI_FAILURE) {
        asking->failedCall = "SnmpStrToOid";
        return ASK_FAILED;
    }
    int first = asking->user ? ASK_V3 : ASK_V2C, last = asking->user ? ASK_V3 : ASK_V1;
    for (int v = first; v <= last; v++) {
        asking->version = v;
        Answer answer;
        int rc = Ask(asking, SNMP_PDU_GET, &oid, 1, 0, &answer);
        if (rc == ASK_SILENT) {
            if (v < last)
                Note(err, "vellary-cfg: no answer from %s over %s; trying %s\n", asking->host, kNames[v],
                     kNames[v + 1]);
            continue;
        }
        if (rc == ASK_ANSWERED) {
            // Any answer, an error included, says the version is understood.
            smiOID name;
            smiVALUE value;
            if (answer.errorStatus == SNMP_ERROR_NOERROR && AnswerBinding(answer, 0, &name, &value) &&
                value.syntax == SNMP_SYNTAX_INT && value.value.sNumber > 0)
                *ifNumber = static_cast<smiUINT32>(value.value.sNumber);
            DropAnswer(&answer);
        }
        return rc;
    }
    asking->version = first;
    return ASK_SILENT;
}

int AnswersV1(Asking *asking)
{
    smiOID oid;
    if (SnmpStrToOid(kIfNumber, &oid) == SNMPAPI_FAILURE) {
        asking->failedCall = "SnmpStrToOid";
        return ASK_FAILED;
    }
    int version = asking->version;
    asking->version = ASK_V1;
    Answer answer;
    int rc = Ask(asking, SNMP_PDU_GET, &oid, 1, 0, &answer);
    asking->version = version;
    if (rc == ASK_ANSWERED)
        DropAnswer(&answer);
    return rc;
}

size_t AskOverhead(const Asking *asking)
{
    // Engine ID and user name of 32 bytes at most, a MAC of 48, a salt of 8, and their framing.
    return asking->version == ASK_V3 ? 200 : 40 + strlen(asking->community);
}

int Ask(Asking *asking, smiINT pduType, const smiOID *names, int count, int maxRepetitions, Answer *answer)
{
    memset(answer, 0, sizeof *answer);
    HSNMP_VBL hVbl = MakeList(asking, names, count);
    if (!hVbl)
        return ASK_FAILED;
    // Ids stay positive and never 0, the slot's "none awaited".
    g_lastRequestId = g_lastRequestId == INT32_MAX ? 1 : g_lastRequestId + 1;
    smiINT32 requestId = g_lastRequestId;
    bool bulk = pduType == SNMP_PDU_GETBULK;
    HSNMP_PDU hPdu = SnmpCreatePdu(asking->session, pduType, requestId, 0, bulk ? maxRepetitions : 0, hVbl);
    SnmpFreeVbl(hVbl);
    if (!hPdu) {
        asking->failedCall = "SnmpCreatePdu";
        return ASK_FAILED;
    }
    {
        std::lock_guard<std::mutex> guard(g_slot.lock);
        g_slot.requestId = requestId;
        g_slot.full = false;
        g_slot.refusal = 0;
    }
    int rc = ASK_SILENT;
    for (int attempt = 0; attempt < ASK_TRIES && rc == ASK_SILENT; attempt++) {
        if (SnmpSendMsg(asking->session, asking->local, asking->device[asking->version], asking->context, hPdu) !=
            SNMPAPI_SUCCESS) {
            // Once a request went out, a refused send is the device's port
            // refusing (an ICMP report the socket keeps), as good as no answer.
            if (attempt == 0) {
                asking->failedCall = "SnmpSendMsg";
                rc = ASK_FAILED;
                break;
            }
        }
        std::unique_lock<std::mutex> lock(g_slot.lock);
        if (g_slot.arrived.wait_for(lock, std::chrono::milliseconds(TryIntervalMs()),
                                    [] { return g_slot.full || g_slot.refusal != 0; }))
            rc = g_slot.full ? ASK_ANSWERED : ASK_FAILED;
    }
    {
        std::lock_guard<std::mutex> guard(g_slot.lock);
        g_slot.requestId = 0;
        // It may have come just after the last wait ended.
        if (g_slot.full) {
            *answer = g_slot.answer;
            rc = ASK_ANSWERED;
        } else if (g_slot.refusal != 0) {
            asking->refusal = g_slot.refusal;
            rc = ASK_FAILED;
        }
        g_slot.full = false;
        g_slot.refusal = 0;
    }
    SnmpFreePdu(hPdu);
    return rc;
}

bool AnswerBinding(const Answer &answer, smiUINT32 k, smiOID *name, smiVALUE *value)
{
    return k < answer.count && SnmpGetVb(answer.vbl, k + 1, name, value) == SNMPAPI_SUCCESS;
}

void DropAnswer(Answer *answer)
{
    if (answer->vbl)
        SnmpFreeVbl(answer->vbl);
    if (answer->pdu)
        SnmpFreePdu(answer->pdu);
    memset(answer, 0, sizeof *answer);
}
