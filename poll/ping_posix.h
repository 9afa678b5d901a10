// Matching ICMP answers to the POSIX probe's Echo Request; the probe's own
// helpers, declared here so tests and the fuzzer can feed them packets.
#pragma once

#include <cstddef>
#include <cstdint>

struct EchoTicket {
    uint32_t target;  // network byte order, as in the IP header
    uint16_t id;      // identifier and sequence as numbers (host byte order)
    uint16_t seq;
};

// Checks the start of an ICMP message (its header first) for our Echo Request:
// type 8, code 0, the ticket's identifier and sequence. Error reports quote it.
int MatchQuotedRequest(const unsigned char *icmp, size_t cb, const EchoTicket *ticket);

// Checks an ICMP message (its header first) for an Echo Reply to the ticket.
int MatchEchoReply(const unsigned char *icmp, size_t cb, const EchoTicket *ticket);

// Checks one packet read from a raw ICMP socket, IP header first. Returns 1 and
// stores the packet's source address (network byte order) when it answers the
// ticket's request: an Echo Reply to it, or a destination-unreachable, source
// quench, time-exceeded or parameter-problem report quoting it (sent to the
// ticket's target). Returns 0 for anything else, short or malformed input included.
int MatchRawAnswer(const unsigned char *packet, size_t cb, const EchoTicket *ticket, uint32_t *source);
