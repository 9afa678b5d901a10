// The reachability probe: one ICMP echo to a device.
#pragma once

#define PING_TIMEOUT_MS 4000
#define PING_PAYLOAD_SIZE 32  // "Data Buffer" and 21 zero bytes

// Sends one ICMP Echo Request to a dotted-decimal IPv4 address and waits up to
// PING_TIMEOUT_MS for the first ICMP message answering it (an Echo Reply or an
// error report quoting the request). Returns 1 when that message comes from the
// target itself, 0 otherwise: no answer in time, an answer from another address,
// any local failure, or a text that is not an IPv4 address (nothing is sent then).
// Never retries and writes no log line.
int PingHost(const wchar_t *address);
