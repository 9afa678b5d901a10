#include "poll/counters.h"

#include <cstdint>

#include "snmp/ber.h"

int IsHcCounterOid(const char *strOid)
{
    // Read by the stack's own rule, so "06" is column 6 here as it is on the wire.
    static const uint32_t kIfXEntry[] = {1, 3, 6, 1, 2, 1, 31, 1, 1, 1};
    const size_t kPrefix = sizeof kIfXEntry / sizeof kIfXEntry[0];
    uint32_t ids[vsnmp::ber::MAX_OID_LEN];
    size_t count = strOid ? vsnmp::ber::ParseOidText(strOid, ids, vsnmp::ber::MAX_OID_LEN) : 0;
    if (count < kPrefix + 2)
        return 0;
    for (size_t k = 0; k < kPrefix; k++)
        if (ids[k] != kIfXEntry[k])
            return 0;
    return ids[kPrefix] >= 6 && ids[kPrefix] <= 13;
}
