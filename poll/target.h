// What a poll asks of a device, resolved once per poll from its record, and how
// a record's community field goes to the stack: the community itself over SNMPv1
// and SNMPv2c, or for a label of vellary-v3.cfg that label's user. The monitor's
// query and the walker both go through here.
#pragma once

#include <cstdint>

#include "config/v3users.h"
#include "snmp/ber.h"
#include "snmp/winsnmp.h"

struct SnmpTarget {
    const char *device;     // dotted-decimal IPv4
    const char *community;  // the record's community field
    const V3User *user;     // the user when that field is a label, valid or not
};

// An object to read, parsed once: its sub-identifiers (none when the text is no
// object identifier) and the version it goes in.
struct SnmpObject {
    const char *text;  // as configured
    uint32_t ids[vsnmp::ber::MAX_OID_LEN];
    vsnmp::smiUINT32 len;
    vsnmp::smiUINT32 translateMode;
};

// The target of a device and a community field.
SnmpTarget ResolveTarget(const char *device, const char *community);

// The object named by oid, asked of target: all of it as SNMPv3 for a label's
// user; otherwise SNMPv2c for the 64-bit counters, which exist only as Counter64
// and SNMPv1 cannot carry, and SNMPv1 for everything else. object->text is oid.
void ResolveObject(const SnmpTarget &target, const char *oid, SnmpObject *object);

// The stack's form of user; it points into *user, which must outlive it.
vsnmp::SnmpV3User StackUser(const V3User &user);

// The octets of the context to make: the community (none for a null one), or for
// a label's user the empty context name, so that a label is never sent.
vsnmp::smiOCTETS ContextOctets(const char *community, const V3User *user);
