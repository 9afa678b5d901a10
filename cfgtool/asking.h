// Asking the device: one request at a time, each tried up to ASK_TRIES times,
// TryIntervalMs() apart, an answer to any of the tries counting. Which version
// (and so which security) a request travels in is chosen here and only here:
// StartAsking makes a way to the device for each version, ChooseVersion picks one.
#pragma once

#include <cstdio>

#include "snmp/winsnmp.h"

#define ASK_TRIES 4

enum AskVersion { ASK_V2C, ASK_V1, ASK_VERSIONS };

enum { ASK_ANSWERED = 1, ASK_SILENT = 0, ASK_FAILED = -1, ASK_BAD_HOST = -2 };

// The way to one device.
struct Asking {
    const char *host;
    const char *community;
    int version;  // the AskVersion requests go in
    vsnmp::HSNMP_SESSION session;
    vsnmp::HSNMP_ENTITY local;
    vsnmp::HSNMP_ENTITY device[ASK_VERSIONS];
    vsnmp::HSNMP_CONTEXT context;
    const char *failedCall;  // the stack call that failed, for ASK_FAILED
};

// A reply, held until DropAnswer: its status and bindings.
struct Answer {
    vsnmp::smiINT errorStatus;
    vsnmp::smiINT errorIndex;
    vsnmp::smiUINT32 count;
    vsnmp::HSNMP_PDU pdu;
    vsnmp::HSNMP_VBL vbl;
};

// Starts the stack for host and community. ASK_ANSWERED when ready (then
// StopAsking ends it), ASK_BAD_HOST for a host that is no IPv4 address, or
// ASK_FAILED with failedCall set; nothing is left open on failure.
int StartAsking(Asking *asking, const char *host, const char *community);
void StopAsking(Asking *asking);

// SNMPv2c when the device answers it, else SNMPv1: asks for ifNumber.0 in each
// in turn, and leaves asking->version at the first that answers (with a note
// on err when that is not the first). ASK_ANSWERED with *ifNumber (0 when the
// device did not say), ASK_SILENT when none answered, or ASK_FAILED.
int ChooseVersion(Asking *asking, vsnmp::smiUINT32 *ifNumber, FILE *err);

// Sends one request for the count names (a GetBulk with no non-repeaters and
// maxRepetitions, or a Get or GetNext) in asking->version and waits for its
// answer. ASK_ANSWERED with *answer to drop, ASK_SILENT after the last try, or
// ASK_FAILED.
int Ask(Asking *asking, vsnmp::smiINT pduType, const vsnmp::smiOID *names, int count, int maxRepetitions,
        Answer *answer);

// Binding k (from 0) of an answer; its descriptors live until DropAnswer.
bool AnswerBinding(const Answer &answer, vsnmp::smiUINT32 k, vsnmp::smiOID *name, vsnmp::smiVALUE *value);
void DropAnswer(Answer *answer);
