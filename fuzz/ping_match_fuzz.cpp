// Fuzz target: packets from a raw ICMP socket through the probe's answer matcher.
// The first 8 bytes choose the request (target, identifier, sequence), so the
// fuzzer can reach the matching paths; the rest is the packet.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "poll/ping_posix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 8)
        return 0;
    EchoTicket ticket;
    memcpy(&ticket.target, data, 4);
    ticket.id = static_cast<uint16_t>(data[4] << 8 | data[5]);
    ticket.seq = static_cast<uint16_t>(data[6] << 8 | data[7]);
    // An exactly sized copy, so any read past the packet is caught.
    size_t cb = size - 8;
    unsigned char *packet = static_cast<unsigned char *>(malloc(cb ? cb : 1));
    memcpy(packet, data + 8, cb);
    uint32_t source = 0;
    int fAnswer = MatchRawAnswer(packet, cb, &ticket, &source);
    if (fAnswer != 0 && fAnswer != 1)
        abort();
    free(packet);
    return 0;
}
