// The receiving side of a session runs on its own thread; the sending side on
// whichever thread calls SnmpSendMsg, or on the receiver when an SNMPv3 report
// asks for the request again. The lock rules are at the top of session.h.
#include "snmp/session.h"

#include <chrono>
#include <mutex>
#include <new>
#include <utility>

#include "snmp/handles.h"
#include "snmp/system.h"

namespace vsnmp {
namespace stack {

namespace {

const int kMaxReceiveErrors = 1000;  // errors in a row before a receiver gives up on its socket

// Our time for the engines' clocks, in whole seconds that never go back.
int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Whether a decoded message answers what the session sent: a GetResponse, in
// the version of the request, and for SNMPv1 in SNMPv1's own syntax.
bool AnswersSession(const ber::Message &msg, int32_t version)
{
    if (msg.pduType != ber::TAG_GET_RESPONSE || msg.version != version)
        return false;
    for (const ber::VarBind &vb : msg.bindings)
        if (version == ber::VERSION_1 && (vb.value.tag == ber::TAG_COUNTER64 || vb.value.tag >= ber::TAG_NOSUCHOBJECT))
            return false;
    return true;
}

void Announce(const Session *s, WPARAM wParam, LPARAM lParam)
{
    s->callback(Handle<HSNMP_SESSION>(s->id), s->hWnd, s->wMsg, wParam, lParam, s->clientData);
}

static_assert(SNMPAPI_V3_UNKNOWN_USER + v3::FAILURE_AUTHENTICATION - v3::FAILURE_UNKNOWN_USER ==
                  SNMPAPI_V3_AUTHENTICATION_FAILURE,
              "the callback's SNMPv3 codes follow the exchange's failures in order");

// An SNMPv3 datagram from the peer: the exchange decides; the request that
// follows a report goes out from here, and a failure reaches the callback.
void DeliverV3(Library &lib, Session *s, size_t n)
{
    try {
        v3::Outcome outcome = v3::OUTCOME_DROP;
        v3::Failure failure = v3::FAILURE_NONE;
        int32_t requestId = 0;
        {
            std::lock_guard<std::mutex> guard(lib.lock);
            v3::Engine *engine = lib.closing ? nullptr : lib.engines.Find(s->peerAddr, s->peerPort, s->user);
            if (!engine)
                return;
            ber::Message answer;
            std::vector<uint8_t> datagram;
            outcome = lib.engines.Take(*engine, s->exchange, s->buffer.get(), n, Now(), &answer, &datagram, &failure);
            requestId = s->exchange.pdu.requestId;
            if (outcome == v3::OUTCOME_RESEND)
                sys::SendDatagram(s->socket, datagram.data(), datagram.size());
            if (outcome == v3::OUTCOME_DELIVER) {
                if (s->inbox.size() + s->answers.size() >= kMaxWaiting)
                    return;
                s->answers.push_back(std::move(answer));
            }
        }
        if (outcome == v3::OUTCOME_DELIVER)
            Announce(s, 0, 0);
        if (outcome == v3::OUTCOME_FAIL)
            Announce(s, SNMPAPI_V3_UNKNOWN_USER + failure - v3::FAILURE_UNKNOWN_USER, requestId);
    } catch (...) {
        // No memory for it: dropped like any surplus datagram.
    }
}

// Queues one datagram from the peer on its session and announces it to the
// callback, without the lock held. What does not decode is queued too, for
// SnmpRecvMsg to refuse; a message that decodes but does not answer is dropped.
void Deliver(Library &lib, Session *s, size_t n)
{
    if (s->version.load() == v3::VERSION_3)
        return DeliverV3(lib, s, n);
    const uint8_t *bytes = s->buffer.get();
    try {
        ber::Message msg;
        if (ber::DecodeMessage(bytes, n, &msg) == ber::BER_OK && !AnswersSession(msg, s->version.load()))
            return;
        {
            std::lock_guard<std::mutex> guard(lib.lock);
            if (lib.closing || s->inbox.size() >= kMaxWaiting)
                return;
            s->inbox.emplace_back(bytes, bytes + n);
        }
        Announce(s, 0, 0);
    } catch (...) {
        // No memory for the datagram: dropped like any surplus one. A callback
        // that throws ends only its own call.
    }
}

// A session's receiver: waits on its socket and its stop signal together, so
// SnmpCleanup ends it at once, and takes in the datagrams that are waiting until
// a clean-up begins.
void Receive(void *arg)
{
    Session *s = static_cast<Session *>(arg);
    Library &lib = Lib();
    int errors = 0;
    while (s->socket.Wait(&s->stop, -1) == 1) {
        while (!lib.closing) {
            uint32_t addr = 0;
            uint16_t port = 0;
            long n = s->socket.Receive(s->buffer.get(), ber::MAX_MESSAGE_SIZE + 1, &addr, &port);
            if (n == net::RECV_NOTHING)
                break;
            // Errors (an ICMP unreachable) are not messages; past a run of them
            // the socket is taken to be broken and nothing more is received.
            if (n == net::RECV_ERROR) {
                if (++errors > kMaxReceiveErrors)
                    return;
                continue;
            }
            errors = 0;
            // The connected socket already keeps out other sources; this keeps
            // them out everywhere.
            if (addr == s->peerAddr && port == s->peerPort)
                Deliver(lib, s, static_cast<size_t>(n));
        }
    }
}

// Connects the session to its one peer and starts its receiver, on its first
// send. Lock held.
bool Connect(Session *s, uint32_t addr, uint16_t port)
{
    s->peerAddr = addr;
    s->peerPort = port;
    if (!s->buffer)
        s->buffer.reset(new (std::nothrow) uint8_t[ber::MAX_MESSAGE_SIZE + 1]);
    if (!s->buffer || !s->stop.Open() || !s->socket.Open() || !s->socket.Connect(addr, port) ||
        !s->socket.LocalAddress(&s->localAddr, &s->localPort) || !sys::StartThread(&s->thread, Receive, s))
        return false;
    s->connected = true;
    return true;
}

ber::Message Request(const Pdu &pdu)
{
    ber::Message msg;
    msg.pduType = pdu.type;
    msg.requestId = pdu.requestId;
    msg.errorStatus = pdu.errorStatus;
    msg.errorIndex = pdu.errorIndex;
    msg.bindings = pdu.bindings;
    return msg;
}

// The SNMPv3 datagram of the request, as far as the engine of dst's agent is
// known: the engine's discovery first when it is not.
bool BuildV3(Library &lib, Session *s, const Entity &dst, const Context &context, const Pdu &pdu,
             std::vector<uint8_t> *datagram)
{
    // The user's keys are made here on the first request (a million bytes of
    // hashing per password), and kept.
    v3::Engine *engine = dst.hasUser ? lib.engines.Acquire(dst.addr, dst.port, dst.user) : nullptr;
    if (!engine)
        return false;
    // The request under way sent again (the same request id) is another try of
    // it, and an answer to any try counts, as in SNMPv1 and SNMPv2c.
    bool again = s->connected && s->version == v3::VERSION_3 && !s->exchange.done &&
                 s->exchange.pdu.requestId == pdu.requestId && s->user == dst.user;
    v3::Exchange x;
    if (again)
        x = s->exchange;
    x.pdu = Request(pdu);
    x.contextName = context.name;
    if (!(again ? lib.engines.Repeat(*engine, x, Now(), datagram) : lib.engines.Build(*engine, x, Now(), datagram)))
        return false;
    s->user = dst.user;
    s->exchange = std::move(x);
    return true;
}

}  // namespace

bool SendRequest(Library &lib, Session *s, const Entity &dst, const Context &context, const Pdu &pdu)
{
    if (s->connected && (s->peerAddr != dst.addr || s->peerPort != dst.port))
        return false;
    std::vector<uint8_t> buf(ber::MAX_MESSAGE_SIZE);
    const uint8_t *datagram = nullptr;
    size_t len = 0;
    if (dst.version == v3::VERSION_3) {
        if (!BuildV3(lib, s, dst, context, pdu, &buf))
            return false;
        datagram = buf.data();
        len = buf.size();
    } else {
        ber::Message msg = Request(pdu);
        msg.version = dst.version;
        msg.community = context.name;
        if (ber::EncodeMessage(msg, buf.data(), buf.size(), &len) != ber::BER_OK)
            return false;
        datagram = buf.data() + buf.size() - len;
    }
    if (!s->connected && !Connect(s, dst.addr, dst.port))
        return false;
    s->version = dst.version;
    return sys::SendDatagram(s->socket, datagram, len);
}

bool TakeMessage(Session *s, ber::Message *msg)
{
    if (!s->answers.empty()) {
        // SNMPv3: opened and checked on arrival; its context name is the scoped PDU's.
        *msg = std::move(s->answers.front());
        s->answers.pop_front();
        msg->version = v3::VERSION_3;
        return true;
    }
    if (s->inbox.empty())
        return false;
    std::vector<uint8_t> bytes = std::move(s->inbox.front());
    s->inbox.pop_front();
    return ber::DecodeMessage(bytes.data(), bytes.size(), msg) == ber::BER_OK;
}

Session *StopReceivers(Library &lib)
{
    Session *running = nullptr;
    for (auto &entry : lib.sessions) {
        Session *s = entry.second.get();
        if (s->thread.joinable()) {
            s->stop.Raise();
            running = s;
        }
    }
    return running;
}

}  // namespace stack
}  // namespace vsnmp
