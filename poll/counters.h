// Which counters an object identifier names.
#pragma once

#include <cstddef>
#include <cstdint>

// True for the 64-bit interface counters: columns 6 to 13 of the ifXTable
// (1.3.6.1.2.1.31.1.1.1.6 ifHCInOctets to .13 ifHCOutBroadcastPkts), followed by
// an index. They exist only as Counter64, which only SNMPv2c carries, and such a
// counter never wraps in practice: a lower reading means it was reset.
int IsHcCounter(const uint32_t *ids, size_t count);
