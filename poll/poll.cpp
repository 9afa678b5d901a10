#include "poll/poll.h"

#include "config/interfaces.h"
#include "poll/ping.h"
#include "poll/rates.h"
#include "poll/snmpquery.h"
#include "records/log.h"

int PollInterface(void *window, unsigned int message, int index)
{
    InterfaceRecord *rec = &g_interfaces[index];
    rec->curTime = Time64();

    // The probe takes the address as wide text, each byte widened as it is; the
    // three units past the field keep it terminated when the address fills it.
    wchar_t pip[20] = {};
    for (size_t k = 0; k < sizeof rec->strIP; k++)
        pip[k] = static_cast<unsigned char>(rec->strIP[k]);

    // The user and the objects are resolved once for the whole poll. A record
    // naming a bad line of vellary-v3.cfg is not polled at all, so its label
    // never goes out; the message box at start-up said why.
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
    int freshIn = 0;
    int freshOut = 0;
    int bitsIn = 32;
    int bitsOut = 32;
    g_replyValue.store(0);
    if (reachable == 1)
        freshIn = SnmpGetObject(window, message, target, in, &rec->inOctets, &bitsIn);
    g_replyValue.store(0);
    if (reachable == 1)
        freshOut = SnmpGetObject(window, message, target, out, &rec->outOctets, &bitsOut);

    if (rec->firstPoll == 1) {
        // The baseline comes only from readings actually made.
        if (freshIn) {
            rec->prevInOctets = rec->inOctets;
            rec->prevInTime = rec->curTime;
        }
        if (freshOut) {
            rec->prevOutOctets = rec->outOctets;
            rec->prevOutTime = rec->curTime;
        }
        rec->prevTime = rec->curTime;
        rec->firstPoll = 0;
        return 0;
    }

    // The reading's width, as its syntax says, decides what a lower reading means.
    rec->measuredIn = UpdateDirection(freshIn, bitsIn == 64, rec->inOctets, rec->curTime, rec->linkSpeed,
                                      &rec->prevInOctets, &rec->prevInTime, &rec->bpsIn, &rec->pctIn);
    rec->measuredOut = UpdateDirection(freshOut, bitsOut == 64, rec->outOctets, rec->curTime, rec->linkSpeed,
                                       &rec->prevOutOctets, &rec->prevOutTime, &rec->bpsOut, &rec->pctOut);
    rec->prevTime = rec->curTime;
    return reachable == 1 ? 1 : -1;
}
