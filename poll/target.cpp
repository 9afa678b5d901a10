#include "poll/target.h"

#include <cstring>

#include "poll/counters.h"

using namespace vsnmp;

SnmpTarget ResolveTarget(const char *device, const char *community)
{
    return {device, community, community ? FindV3User(community) : nullptr};
}

void ResolveObject(const SnmpTarget &target, const char *oid, SnmpObject *object)
{
    object->text = oid;
    object->len = oid ? static_cast<smiUINT32>(ber::ParseOidText(oid, object->ids, ber::MAX_OID_LEN)) : 0;
    // SNMPv1 byte for byte as always, but for what SNMPv1 cannot carry.
    object->translateMode = target.user                             ? SNMPAPI_UNTRANSLATED_V3
                            : IsHcCounter(object->ids, object->len) ? SNMPAPI_UNTRANSLATED_V2
                                                                    : SNMPAPI_UNTRANSLATED_V1;
}

SnmpV3User StackUser(const V3User &user)
{
    return {user.userName, user.auth, user.authPassword, user.priv, user.privPassword};
}

smiOCTETS ContextOctets(const char *community, const V3User *user)
{
    smiOCTETS octets;
    octets.len = community && !user ? static_cast<smiUINT32>(strlen(community)) : 0;
    octets.ptr = reinterpret_cast<smiLPBYTE>(const_cast<char *>(community));
    return octets;
}
