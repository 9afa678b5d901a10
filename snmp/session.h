// A session: its callback and, from its first send on, the socket connected to
// its one peer and the receiver thread that takes in what comes from there, at
// most kMaxWaiting messages at a time. Also where each request is built: SNMPv1
// and SNMPv2c encoded here, SNMPv3 through the engines of v3exchange.h.
//
// Lock rules. The one lock is Library::lock (handles.h).
// - It guards the handle tables, each session's inbox, answers, exchange and
//   connection, the translate mode and the engines.
// - A receiver reads without it only what is set before its thread starts (the
//   callback and its arguments, the peer, the socket, the buffer), the session's
//   version, which is atomic, and Library::closing.
// - It is never held while a callback runs or a receiver is joined, so callbacks
//   may call into the stack. SnmpCleanup from a callback is refused: it would
//   join its own thread.
// - Every datagram is sent with it held, the request that a receiver sends after
//   an SNMPv3 report too.
// - The last SnmpCleanup sets closing under it: from then on no receiver takes a
//   datagram or starts a callback. Receivers are then joined without it and the
//   tables freed with it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "snmp/ber.h"
#include "snmp/udp.h"
#include "snmp/v3exchange.h"
#include "snmp/winsnmp.h"

namespace vsnmp {
namespace stack {

struct Library;
struct Entity;
struct Context;
struct Pdu;

// Datagrams held for SnmpRecvMsg per session, SNMPv3 answers included; more are
// dropped unannounced, so a flood costs a session this much and no more.
const size_t kMaxWaiting = 8;

struct Session {
    uintptr_t id = 0;  // its handle, for the callback
    HWND hWnd = nullptr;
    UINT wMsg = 0;
    SNMPAPI_CALLBACK callback = nullptr;
    LPVOID clientData = nullptr;
    bool connected = false;
    uint32_t peerAddr = 0, localAddr = 0;
    uint16_t peerPort = 0, localPort = 0;
    std::atomic<int32_t> version{ber::VERSION_1};  // of the last message sent; replies must match
    net::UdpSocket socket;
    net::StopSignal stop;
    std::unique_ptr<uint8_t[]> buffer;  // one datagram
    std::thread thread;
    std::deque<std::vector<uint8_t>> inbox;  // SNMPv1 and SNMPv2c, as they came
    // SNMPv3: the user the session speaks as, its request under way, and the
    // replies that came through it, opened.
    v3::User user;
    v3::Exchange exchange;
    std::deque<ber::Message> answers;
    uintptr_t receivedContext = 0;  // the one context SnmpRecvMsg hands out
};

// Sends pdu to dst as one datagram in dst's version, connecting the session and
// starting its receiver on its first send. False when the session talks to
// another peer, the message cannot be built, or the system refuses. Lock held.
bool SendRequest(Library &lib, Session *s, const Entity &dst, const Context &context, const Pdu &pdu);

// The oldest message waiting on the session, decoded; false when none waits or
// it does not decode (it is dropped then). Lock held.
bool TakeMessage(Session *s, ber::Message *msg);

// Raises the stop of every session whose receiver runs and returns one of them
// to join, or null when none runs. Allocates nothing, so a clean-up cannot fail
// half-way. Lock held.
Session *StopReceivers(Library &lib);

}  // namespace stack
}  // namespace vsnmp
