#include "poll/poll.h"

#include "config/interfaces.h"
#include "poll/clock.h"
#include "poll/ping.h"
#include "poll/rates.h"
#include "poll/snmpquery.h"
#include "records/log.h"

namespace {

const char kSysUpTime[] = "1.3.6.1.2.1.1.3.0";

// The device's sysUpTime, asked at most once per poll and version.
struct Uptime {
    int asked;
    vsnmp::smiUINT32 translateMode;
    int answered;
    int64_t ticks;
    int64_t askedMs;
};

// Whether the device restarted since the baseline of counter, read at readingMs;
// unknown when it does not say, and then the lower reading is one wrap.
int Restarted(void *window, unsigned int message, const SnmpTarget &target, const SnmpObject &counter,
              int64_t readingMs, Uptime *uptime)
{
    if (!uptime->asked || uptime->translateMode != counter.translateMode) {
        // Over the same version and credentials as the counter that fell.
        SnmpObject object;
        ResolveObject(target, kSysUpTime, &object);
        object.translateMode = counter.translateMode;
        g_replyValue.store(0);
        uptime->answered = SnmpGetObject(window, message, target, object, &uptime->ticks, nullptr, &uptime->askedMs);
        uptime->asked = 1;
        uptime->translateMode = counter.translateMode;
    }
    return uptime->answered && RestartedSince(uptime->ticks, uptime->askedMs, readingMs);
}

// One line when the counter queries stop being answered, one when they are again.
void NoteAnswers(InterfaceRecord *rec, bool answered)
{
    if (answered == !rec->snmpSilent)
        return;
    rec->snmpSilent = !answered;
    WriteLog(FieldValue(rec->strName).str, answered ? "SNMP answer again" : "SNMP no answer");
}

}  // namespace

int PollInterface(void *window, unsigned int message, int index)
{
    InterfaceRecord *rec = &g_interfaces[index];
    rec->curTime = MonotonicMs();

    // The probe takes the address as wide text, each byte widened as it is; the
    // three units past the field keep it terminated when the address fills it.
    wchar_t pip[20] = {};
    for (size_t k = 0; k < sizeof rec->strIP; k++)
        pip[k] = static_cast<unsigned char>(rec->strIP[k]);

    // A record naming a bad line of vellary-v3.cfg is not polled at all, so its
    // label never goes out; the message box at start-up said why.
    FieldText<sizeof rec->strIP> ip = FieldValue(rec->strIP);
    FieldText<sizeof rec->strCommunity> community = FieldValue(rec->strCommunity);
    SnmpTarget target = ResolveTarget(ip.str, community.str);
    bool held = target.user && !target.user->valid;

    int reachable = held ? 0 : PingHost(pip);
    if (reachable == 0 && !held)
        WriteLog(FieldValue(rec->strName).str, "Not able to ping");

    FieldText<sizeof rec->strOidIn> oidIn = FieldValue(rec->strOidIn);
    FieldText<sizeof rec->strOidOut> oidOut = FieldValue(rec->strOidOut);
    SnmpObject in, out;
    ResolveObject(target, oidIn.str, &in);
    ResolveObject(target, oidOut.str, &out);
    CounterReading readIn = {}, readOut = {};
    int freshIn = 0;
    int freshOut = 0;
    int bitsIn = 32;
    int bitsOut = 32;
    g_replyValue.store(0);
    if (reachable == 1)
        freshIn = SnmpGetObject(window, message, target, in, &rec->inOctets, &bitsIn, &readIn.ms);
    g_replyValue.store(0);
    if (reachable == 1) {
        freshOut = SnmpGetObject(window, message, target, out, &rec->outOctets, &bitsOut, &readOut.ms);
        NoteAnswers(rec, freshIn || freshOut);
    }
    rec->freshIn = freshIn;
    rec->freshOut = freshOut;

    if (rec->firstPoll == 1) {
        // The baseline comes only from readings actually made.
        if (freshIn) {
            rec->prevInOctets = rec->inOctets;
            rec->prevInTime = readIn.ms;
        }
        if (freshOut) {
            rec->prevOutOctets = rec->outOctets;
            rec->prevOutTime = readOut.ms;
        }
        rec->prevTime = rec->curTime;
        rec->firstPoll = 0;
        return 0;
    }

    // The reading's width, as its syntax says, decides what a lower reading means;
    // for 32 bits the device's uptime does too.
    readIn.value = rec->inOctets;
    readIn.counter64 = bitsIn == 64;
    readOut.value = rec->outOctets;
    readOut.counter64 = bitsOut == 64;
    Uptime uptime = {};
    if (freshIn && FellBelowBaseline(readIn, rec->prevInOctets, rec->prevInTime))
        readIn.restarted = Restarted(window, message, target, in, rec->prevInTime, &uptime);
    if (freshOut && FellBelowBaseline(readOut, rec->prevOutOctets, rec->prevOutTime))
        readOut.restarted = Restarted(window, message, target, out, rec->prevOutTime, &uptime);

    rec->measuredIn = UpdateDirection(freshIn ? &readIn : nullptr, rec->linkSpeed, &rec->prevInOctets, &rec->prevInTime,
                                      &rec->bpsIn, &rec->pctIn, &rec->deltaInOctets, &rec->deltaInMs);
    rec->measuredOut =
        UpdateDirection(freshOut ? &readOut : nullptr, rec->linkSpeed, &rec->prevOutOctets, &rec->prevOutTime,
                        &rec->bpsOut, &rec->pctOut, &rec->deltaOutOctets, &rec->deltaOutMs);
    rec->prevTime = rec->curTime;
    return reachable == 1 ? 1 : -1;
}
