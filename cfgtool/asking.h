// Asking the device: one request at a time, each tried up to ASK_TRIES times,
// TryIntervalMs() apart, an answer to any of the tries counting. Which version
// (and so which security) a request travels in is chosen here and only here:
// StartAsking makes a way to the device for each version, ChooseVersion picks one.
#pragma once

#include <cstdio>

#include "config/v3users.h"
#include "snmp/winsnmp.h"

#define ASK_TRIES 4

// SNMPv3 is asked only of a label's user, and then alone.
enum AskVersion { ASK_V2C, ASK_V1, ASK_V3, ASK_VERSIONS };

enum { ASK_ANSWERED = 1, ASK_SILENT = 0, ASK_FAILED = -1 };

// The way to one device.
struct Asking {
    const char *host;
    const char *community;  // the label, for SNMPv3
    const V3User *user;     // SNMPv3's user, or nullptr for SNMPv2c and SNMPv1
    int version;  // the AskVersion requests go in
    vsnmp::HSNMP_SESSION session;
    vsnmp::HSNMP_ENTITY local;
    vsnmp::HSNMP_ENTITY device[ASK_VERSIONS];
    vsnmp::HSNMP_CONTEXT context;
    const char *failedCall;  // the stack call that failed, for ASK_FAILED
    vsnmp::WPARAM refusal;   // or SNMPv3's reason (SNMPAPI_V3_...), when the agent refused
};

// A reply, held until DropAnswer: its status and bindings.
struct Answer {
    vsnmp::smiINT errorStatus;
    vsnmp::smiINT errorIndex;
    vsnmp::smiUINT32 count;
    vsnmp::HSNMP_PDU pdu;
    vsnmp::HSNMP_VBL vbl;
};

// Starts the stack for host (an IPv4 address) and community, or with user for
// SNMPv3 as that user (community then being its label). ASK_ANSWERED when ready
// (then StopAsking ends it), or ASK_FAILED with failedCall set; nothing is left
// open on failure.
int StartAsking(Asking *asking, const char *host, const char *community, const V3User *user = nullptr);
void StopAsking(Asking *asking);

// A request that could not be sent (asking->failedCall names the call), or
// that an SNMPv3 agent refused (asking->refusal says why): prints the message
// on err and returns 1.
int SendFailure(const Asking *asking, FILE *err);

// SNMPv2c when the device answers it, else SNMPv1 (or SNMPv3 alone, for a
// user): asks for ifNumber.0 in each in turn, and leaves asking->version at the
// first that answers (with a note on err when that is not the first).
// ASK_ANSWERED with *ifNumber (0 when the device did not say), ASK_SILENT when
// none answered, or ASK_FAILED.
int ChooseVersion(Asking *asking, vsnmp::smiUINT32 *ifNumber, FILE *err);

// Whether a device walked over SNMPv2c answers SNMPv1 too, any answer counting:
// asks for ifNumber.0 over SNMPv1 and leaves asking->version as it was.
// ASK_ANSWERED, ASK_SILENT or ASK_FAILED.
int AnswersV1(Asking *asking);

// SNMPv2c and SNMPv3 carry SNMPv2's PDUs: GetBulk, Counter64, the exceptions.
inline bool AsksV2Pdus(const Asking *asking)
{
    return asking->version != ASK_V1;
}

// Bytes of a reply besides its bindings: the message around them with the
// community, or SNMPv3's header and security parameters.
size_t AskOverhead(const Asking *asking);

// Sends one request for the count names (a GetBulk with no non-repeaters and
// maxRepetitions, or a Get or GetNext) in asking->version and waits for its
// answer. ASK_ANSWERED with *answer to drop, ASK_SILENT after the last try, or
// ASK_FAILED (with refusal set when an SNMPv3 agent refused the request).
int Ask(Asking *asking, vsnmp::smiINT pduType, const vsnmp::smiOID *names, int count, int maxRepetitions,
        Answer *answer);

// Binding k (from 0) of an answer; its descriptors live until DropAnswer.
bool AnswerBinding(const Answer &answer, vsnmp::smiUINT32 k, vsnmp::smiOID *name, vsnmp::smiVALUE *value);
void DropAnswer(Answer *answer);
