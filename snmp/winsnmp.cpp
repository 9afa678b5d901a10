// The stack's handle tables and calls. One lock guards the tables; it is never
// held while a callback runs or while a receiver thread is joined, so callbacks
// may call back into the stack. No exception leaves a call: a failure to
// allocate or to start a thread is that call's failure.
#include "snmp/winsnmp.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "snmp/ber.h"
#include "snmp/system.h"
#include "snmp/udp.h"
#include "snmp/v3exchange.h"

namespace vsnmp {

namespace {

const size_t kMaxWaiting = 8;       // datagrams held for SnmpRecvMsg per session; more are dropped
const int kMaxReceiveErrors = 1000; // errors in a row before a receiver gives up on its socket

enum class Kind { Session, Entity, Context, Pdu, Vbl };

// A session: its callback and, from its first send on, the socket connected to
// its one peer and the thread that receives on it. The thread reads only what is
// set before it starts, and the inbox only under the lock.
struct Session {
    uintptr_t id = 0;
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
    std::deque<std::vector<uint8_t>> inbox;
    uintptr_t receivedContext = 0;
    // SNMPv3: the user the session speaks as, its request under way, and the
    // replies that came through it, opened (they count against kMaxWaiting too).
    v3::User user;
    v3::Exchange exchange;
    std::deque<ber::Message> answers;
};

// Every kind of object in one record; kind says which members matter.
struct Object {
    Kind kind = Kind::Session;
    std::unique_ptr<Session> session;
    // entity
    uint32_t addr = 0;
    uint16_t port = 0;
    int32_t version = ber::VERSION_1;
    bool hasUser = false;  // SNMPv3: set by SnmpSetEntityUser
    v3::User user;
    // the parts of a message that each kind holds: a context's community, a
    // PDU's type, id, status, index and bindings, a list's bindings (which
    // SnmpGetVb points into)
    ber::Message msg;
};

// Raises the stop of every session whose receiver runs and returns one of them
// to join, or null when none runs. Allocates nothing, so a clean-up cannot fail
// half-way. Lock held.
Session *StopReceivers(std::unordered_map<uintptr_t, Object> &objects)
{
    Session *running = nullptr;
    for (auto &entry : objects) {
        Session *s = entry.second.session.get();
        if (s && s->thread.joinable()) {
            s->stop.Raise();
            running = s;
        }
    }
    return running;
}

struct Library {
    std::mutex lock;
    std::unordered_map<uintptr_t, Object> objects;
    std::deque<std::vector<uint32_t>> oids;  // from SnmpStrToOid, until SnmpCleanup
    int uses = 0;                            // SnmpStartup calls not yet cleaned up
    // The last SnmpCleanup has begun: receivers take no more datagrams and start
    // no more callbacks. Set and cleared under the lock; read without it too.
    std::atomic<bool> closing{false};
    uintptr_t lastHandle = 0;
    smiUINT32 translateMode = SNMPAPI_TRANSLATED;
    // What SNMPv3 discovery learnt of each agent's engine, and the users' keys:
    // kept across clean-ups, since every query starts and cleans up the stack.
    v3::Engines engines;

    // A process that never called SnmpCleanup: its receivers end before their threads are destroyed.
    ~Library()
    {
        closing = true;
        while (Session *s = StopReceivers(objects))
            s->thread.join();
    }
};

Library &Lib()
{
    static Library lib;
    return lib;
}

// Runs a call's body with the lock held; any exception (an allocation that
// failed) is the call's failure.
template <typename R, typename F>
R Locked(R failure, F body)
{
    try {
        Library &lib = Lib();
        std::lock_guard<std::mutex> guard(lib.lock);
        return body(lib);
    } catch (...) {
        return failure;
    }
}

template <typename H>
uintptr_t Id(H handle)
{
    return reinterpret_cast<uintptr_t>(handle);
}

template <typename H>
H Handle(uintptr_t id)
{
    // A handle is a table key, never dereferenced: nothing to lose to the cast.
    return reinterpret_cast<H>(id);  // NOLINT(performance-no-int-to-ptr)
}

// The object behind a handle when it exists and is of that kind. Lock held.
Object *Find(Library &lib, uintptr_t id, Kind kind)
{
    if (id == 0)
        return nullptr;
    auto it = lib.objects.find(id);
    return it != lib.objects.end() && it->second.kind == kind ? &it->second : nullptr;
}

// Adds an object while the stack is started; 0 otherwise. Lock held.
uintptr_t Add(Library &lib, Object &&object)
{
    if (lib.uses == 0)
        return 0;
    do {
        lib.lastHandle++;
    } while (lib.lastHandle == 0 || lib.objects.count(lib.lastHandle) != 0);
    lib.objects.emplace(lib.lastHandle, std::move(object));
    return lib.lastHandle;
}

Object MakeEntity(uint32_t addr, uint16_t port, int32_t version)
{
    Object entity;
    entity.kind = Kind::Entity;
    entity.addr = addr;
    entity.port = port;
    entity.version = version;
    return entity;
}

// A received value as the caller sees it; sub-identifiers and octets point into
// the list it came from.
void ToSmiValue(ber::Value &in, smiVALUE *out)
{
    smiVALUE v;
    memset(&v, 0, sizeof v);
    v.syntax = in.tag;
    switch (in.tag) {
    case ber::TAG_INTEGER:
        v.value.sNumber = in.integer;
        break;
    case ber::TAG_COUNTER64:
        v.value.hNumber.hipart = static_cast<smiUINT32>(in.number >> 32);
        v.value.hNumber.lopart = static_cast<smiUINT32>(in.number);
        break;
    case ber::TAG_COUNTER32:
    case ber::TAG_GAUGE32:
    case ber::TAG_TIMETICKS:
    case ber::TAG_UINTEGER32:
        v.value.uNumber = static_cast<smiUINT32>(in.number);
        break;
    case ber::TAG_OCTET_STRING:
    case ber::TAG_OPAQUE:
    case ber::TAG_NSAPADDRESS:
    case ber::TAG_IPADDRESS:
        v.value.string.len = static_cast<smiUINT32>(in.octets.size());
        v.value.string.ptr = in.octets.empty() ? nullptr : in.octets.data();
        break;
    case ber::TAG_OID:
        v.value.oid.len = static_cast<smiUINT32>(in.oid.size());
        v.value.oid.ptr = in.oid.data();
        break;
    default:
        break;
    }
    *out = v;
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

// Queues one datagram from the peer on its session and announces it to the
// callback, without the lock held. What does not decode is queued too, for
// SnmpRecvMsg to refuse; a message that decodes but does not answer is dropped.
void DeliverV3(Library &lib, Session *s, size_t n);

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
        s->callback(Handle<HSNMP_SESSION>(s->id), s->hWnd, s->wMsg, 0, 0, s->clientData);
    } catch (...) {
        // No memory for the datagram: dropped like any surplus one. A callback
        // that throws ends only its own call.
    }
}

// Our time for the engines' clocks, in whole seconds that never go back.
int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
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
            s->callback(Handle<HSNMP_SESSION>(s->id), s->hWnd, s->wMsg, 0, 0, s->clientData);
        if (outcome == v3::OUTCOME_FAIL)
            s->callback(Handle<HSNMP_SESSION>(s->id), s->hWnd, s->wMsg,
                        SNMPAPI_V3_UNKNOWN_USER + failure - v3::FAILURE_UNKNOWN_USER, requestId, s->clientData);
    } catch (...) {
        // No memory for it: dropped like any surplus datagram.
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

}  // namespace

SNMPAPI_STATUS SnmpStartup(smiLPUINT32 nMajorVersion, smiLPUINT32 nMinorVersion, smiLPUINT32 nLevel,
                           smiLPUINT32 nTranslateMode, smiLPUINT32 nRetransmitMode)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        if (lib.uses == 0 && !sys::StartNetwork())
            return SNMPAPI_FAILURE;
        lib.uses++;
        if (nMajorVersion)
            *nMajorVersion = 2;
        if (nMinorVersion)
            *nMinorVersion = 0;
        if (nLevel)
            *nLevel = 1;
        if (nTranslateMode)
            *nTranslateMode = lib.translateMode;
        if (nRetransmitMode)
            *nRetransmitMode = SNMPAPI_OFF;  // never, whatever is set
        return SNMPAPI_SUCCESS;
    });
}

SNMPAPI_STATUS SnmpCleanup()
{
    // 0: refused, 1: an outer use ended, 2: the last use ends here.
    int step = Locked(0, [](Library &lib) {
        if (lib.uses == 0 || lib.closing)
            return 0;
        // Joining our own thread would never end.
        for (auto &entry : lib.objects) {
            Session *s = entry.second.session.get();
            if (lib.uses == 1 && s && s->thread.joinable() && s->thread.get_id() == std::this_thread::get_id())
                return 0;
        }
        if (lib.uses > 1) {
            lib.uses--;
            return 1;
        }
        // From here no callback starts; one that runs still has the stack to itself.
        lib.closing = true;
        return 2;
    });
    if (step < 2)
        return step == 1 ? SNMPAPI_SUCCESS : SNMPAPI_FAILURE;
    // A running callback may still send, and so start a receiver, while others
    // are joined: repeat until none is left. No session is freed meanwhile.
    while (Session *s = Locked<Session *>(nullptr, [](Library &lib) { return StopReceivers(lib.objects); }))
        s->thread.join();
    Locked(false, [](Library &lib) {
        lib.objects.clear();
        lib.oids.clear();
        lib.uses = 0;
        lib.closing = false;
        return true;
    });
    net::NetCleanup();
    return SNMPAPI_SUCCESS;
}

SNMPAPI_STATUS SnmpSetRetransmitMode(smiUINT32 nRetransmitMode)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        bool known = nRetransmitMode == SNMPAPI_OFF || nRetransmitMode == SNMPAPI_ON;
        return lib.uses > 0 && known ? SNMPAPI_SUCCESS : SNMPAPI_FAILURE;
    });
}

SNMPAPI_STATUS SnmpSetTranslateMode(smiUINT32 nTranslateMode)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        if (lib.uses == 0 || nTranslateMode > SNMPAPI_UNTRANSLATED_V3)
            return SNMPAPI_FAILURE;
        lib.translateMode = nTranslateMode;
        return SNMPAPI_SUCCESS;
    });
}

HSNMP_SESSION SnmpCreateSession(HWND hWnd, UINT wMsg, SNMPAPI_CALLBACK fCallBack, LPVOID lpClientData)
{
    return Locked<HSNMP_SESSION>(nullptr, [&](Library &lib) {
        if (!fCallBack)
            return HSNMP_SESSION(nullptr);
        Object session;
        session.kind = Kind::Session;
        Session *s = new Session;
        session.session.reset(s);
        s->hWnd = hWnd;
        s->wMsg = wMsg;
        s->callback = fCallBack;
        s->clientData = lpClientData;
        s->id = Add(lib, std::move(session));
        return Handle<HSNMP_SESSION>(s->id);
    });
}

SNMPAPI_STATUS SnmpStrToOid(LPCSTR string, smiLPOID dstOID)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        uint32_t ids[ber::MAX_OID_LEN];
        size_t count = string ? ber::ParseOidText(string, ids, ber::MAX_OID_LEN) : 0;
        if (lib.uses == 0 || !dstOID || count == 0)
            return SNMPAPI_FAILURE;
        lib.oids.emplace_back(ids, ids + count);
        dstOID->len = static_cast<smiUINT32>(count);
        dstOID->ptr = lib.oids.back().data();
        return dstOID->len;
    });
}

namespace {

// A binding a request may carry: an object identifier BER can encode, with a
// NULL value, since requests carry NULL values only.
bool RequestBinding(smiLPCOID name, smiLPCVALUE value, ber::VarBind *vb)
{
    if (!name || !name->ptr || !ber::IsEncodableOid(name->ptr, name->len) || (value && value->syntax != SNMP_SYNTAX_NULL))
        return false;
    vb->name.assign(name->ptr, name->ptr + name->len);
    return true;
}

}  // namespace

HSNMP_VBL SnmpCreateVbl(HSNMP_SESSION session, smiLPCOID name, smiLPCVALUE value)
{
    return Locked<HSNMP_VBL>(nullptr, [&](Library &lib) {
        if (!Find(lib, Id(session), Kind::Session))
            return HSNMP_VBL(nullptr);
        Object vbl;
        vbl.kind = Kind::Vbl;
        if (name) {
            ber::VarBind vb;
            if (!RequestBinding(name, value, &vb))
                return HSNMP_VBL(nullptr);
            vbl.msg.bindings.push_back(std::move(vb));
        }
        return Handle<HSNMP_VBL>(Add(lib, std::move(vbl)));
    });
}

SNMPAPI_STATUS SnmpSetVb(HSNMP_VBL vbl, smiUINT32 index, smiLPCOID name, smiLPCVALUE value)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Object *list = Find(lib, Id(vbl), Kind::Vbl);
        ber::VarBind vb;
        if (!list || index > list->msg.bindings.size() || !RequestBinding(name, value, &vb))
            return SNMPAPI_FAILURE;
        std::vector<ber::VarBind> &bindings = list->msg.bindings;
        if (index == 0) {
            bindings.push_back(std::move(vb));
            return static_cast<SNMPAPI_STATUS>(bindings.size());
        }
        bindings[index - 1] = std::move(vb);
        return index;
    });
}

SNMPAPI_STATUS SnmpCountVbl(HSNMP_VBL vbl)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Object *list = Find(lib, Id(vbl), Kind::Vbl);
        return list ? static_cast<SNMPAPI_STATUS>(list->msg.bindings.size()) : SNMPAPI_FAILURE;
    });
}

HSNMP_PDU SnmpCreatePdu(HSNMP_SESSION session, smiINT PDU_type, smiINT32 request_id, smiINT error_status,
                        smiINT error_index, HSNMP_VBL varbindlist)
{
    return Locked<HSNMP_PDU>(nullptr, [&](Library &lib) {
        bool bulk = PDU_type == SNMP_PDU_GETBULK;
        if (!Find(lib, Id(session), Kind::Session) || ((PDU_type < SNMP_PDU_GET || PDU_type > SNMP_PDU_SET) && !bulk) ||
            (bulk && (error_status < 0 || error_index < 0)))
            return HSNMP_PDU(nullptr);
        Object pdu;
        pdu.kind = Kind::Pdu;
        pdu.msg.pduType = static_cast<uint8_t>(PDU_type);
        pdu.msg.requestId = request_id;
        pdu.msg.errorStatus = error_status;
        pdu.msg.errorIndex = error_index;
        if (varbindlist) {
            Object *vbl = Find(lib, Id(varbindlist), Kind::Vbl);
            if (!vbl)
                return HSNMP_PDU(nullptr);
            pdu.msg.bindings = vbl->msg.bindings;
        }
        return Handle<HSNMP_PDU>(Add(lib, std::move(pdu)));
    });
}

HSNMP_ENTITY SnmpStrToEntity(HSNMP_SESSION session, LPCSTR string)
{
    return Locked<HSNMP_ENTITY>(nullptr, [&](Library &lib) {
        uint32_t addr = 0;
        if (!Find(lib, Id(session), Kind::Session) || !net::ParseIPv4(string, &addr))
            return HSNMP_ENTITY(nullptr);
        int32_t version = lib.translateMode == SNMPAPI_UNTRANSLATED_V2   ? ber::VERSION_2C
                          : lib.translateMode == SNMPAPI_UNTRANSLATED_V3 ? v3::VERSION_3
                                                                         : ber::VERSION_1;
        return Handle<HSNMP_ENTITY>(Add(lib, MakeEntity(addr, SNMP_DEFAULT_PORT, version)));
    });
}

SNMPAPI_STATUS SnmpSetPort(HSNMP_ENTITY hEntity, UINT nPort)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Object *entity = Find(lib, Id(hEntity), Kind::Entity);
        if (!entity || nPort > 0xFFFF)
            return SNMPAPI_FAILURE;
        entity->port = static_cast<uint16_t>(nPort);
        return SNMPAPI_SUCCESS;
    });
}

SNMPAPI_STATUS SnmpSetEntityUser(HSNMP_ENTITY hEntity, const SnmpV3User *user)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Object *entity = Find(lib, Id(hEntity), Kind::Entity);
        if (!entity || entity->version != v3::VERSION_3 || !user || !user->userName || !*user->userName)
            return SNMPAPI_FAILURE;
        // The protocols index the security model's tables.
        if (static_cast<unsigned>(user->authProtocol) > usm::AUTH_SHA512 ||
            static_cast<unsigned>(user->privProtocol) > usm::PRIV_AES256C)
            return SNMPAPI_FAILURE;
        bool auth = user->authProtocol != usm::AUTH_NONE, priv = user->privProtocol != usm::PRIV_NONE;
        if ((priv && !auth) || (auth && (!user->authPassword || !*user->authPassword)) ||
            (priv && (!user->privPassword || !*user->privPassword)))
            return SNMPAPI_FAILURE;
        entity->user.name = user->userName;
        entity->user.auth = user->authProtocol;
        entity->user.authPassword = auth ? user->authPassword : "";
        entity->user.priv = user->privProtocol;
        entity->user.privPassword = priv ? user->privPassword : "";
        entity->hasUser = true;
        return SNMPAPI_SUCCESS;
    });
}

HSNMP_CONTEXT SnmpStrToContext(HSNMP_SESSION session, smiLPCOCTETS string)
{
    return Locked<HSNMP_CONTEXT>(nullptr, [&](Library &lib) {
        if (!Find(lib, Id(session), Kind::Session) || !string || (string->len > 0 && !string->ptr))
            return HSNMP_CONTEXT(nullptr);
        Object context;
        context.kind = Kind::Context;
        context.msg.community.assign(string->ptr, string->ptr + string->len);
        return Handle<HSNMP_CONTEXT>(Add(lib, std::move(context)));
    });
}

SNMPAPI_STATUS SnmpSendMsg(HSNMP_SESSION session, HSNMP_ENTITY srcEntity, HSNMP_ENTITY dstEntity,
                           HSNMP_CONTEXT context, HSNMP_PDU PDU)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Object *so = Find(lib, Id(session), Kind::Session);
        Object *dst = Find(lib, Id(dstEntity), Kind::Entity);
        Object *ctx = Find(lib, Id(context), Kind::Context);
        Object *pdu = Find(lib, Id(PDU), Kind::Pdu);
        if (!so || !Find(lib, Id(srcEntity), Kind::Entity) || !dst || !ctx || !pdu)
            return SNMPAPI_FAILURE;
        Session *s = so->session.get();
        // A session talks to one peer.
        if (s->connected && (s->peerAddr != dst->addr || s->peerPort != dst->port))
            return SNMPAPI_FAILURE;

        std::vector<uint8_t> buf(ber::MAX_MESSAGE_SIZE);
        const uint8_t *datagram = nullptr;
        size_t len = 0;
        if (dst->version == v3::VERSION_3) {
            // The user's keys are made here on the first request (a million bytes
            // of hashing per password), and kept.
            v3::Engine *engine = dst->hasUser ? lib.engines.Acquire(dst->addr, dst->port, dst->user) : nullptr;
            // The request under way sent again (the same request id) is another
            // try of it, and an answer to any try counts, as in SNMPv1 and SNMPv2c.
            bool again = s->connected && s->version == v3::VERSION_3 && !s->exchange.done &&
                         s->exchange.pdu.requestId == pdu->msg.requestId && s->user == dst->user;
            v3::Exchange x;
            if (again)
                x = s->exchange;
            x.pdu = pdu->msg;
            x.contextName = ctx->msg.community;
            if (!engine ||
                !(again ? lib.engines.Repeat(*engine, x, Now(), &buf) : lib.engines.Build(*engine, x, Now(), &buf)))
                return SNMPAPI_FAILURE;
            s->user = dst->user;
            s->exchange = std::move(x);
            datagram = buf.data();
            len = buf.size();
        } else {
            ber::Message msg = pdu->msg;
            msg.version = dst->version;
            msg.community = ctx->msg.community;
            if (ber::EncodeMessage(msg, buf.data(), buf.size(), &len) != ber::BER_OK)
                return SNMPAPI_FAILURE;
            datagram = buf.data() + buf.size() - len;
        }

        if (!s->connected && !Connect(s, dst->addr, dst->port))
            return SNMPAPI_FAILURE;
        s->version = dst->version;
        return sys::SendDatagram(s->socket, datagram, len) ? SNMPAPI_SUCCESS : SNMPAPI_FAILURE;
    });
}

SNMPAPI_STATUS SnmpRecvMsg(HSNMP_SESSION session, LPHSNMP_ENTITY srcEntity, LPHSNMP_ENTITY dstEntity,
                           LPHSNMP_CONTEXT context, LPHSNMP_PDU PDU)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Object *so = Find(lib, Id(session), Kind::Session);
        Session *s = so ? so->session.get() : nullptr;
        if (!s || (s->inbox.empty() && s->answers.empty()))
            return SNMPAPI_FAILURE;
        ber::Message msg;
        if (!s->answers.empty()) {
            // SNMPv3: opened and checked on arrival; its context name is the scoped PDU's.
            msg = std::move(s->answers.front());
            s->answers.pop_front();
            msg.version = v3::VERSION_3;
        } else {
            std::vector<uint8_t> bytes = std::move(s->inbox.front());
            s->inbox.pop_front();
            if (ber::DecodeMessage(bytes.data(), bytes.size(), &msg) != ber::BER_OK)
                return SNMPAPI_FAILURE;
        }

        if (context) {
            // One context per session for what it receives, each message's
            // community replacing the last, so no flood can pile them up.
            Object *ctx = Find(lib, s->receivedContext, Kind::Context);
            if (ctx) {
                ctx->msg.community = std::move(msg.community);
            } else {
                Object fresh;
                fresh.kind = Kind::Context;
                fresh.msg.community = std::move(msg.community);
                s->receivedContext = Add(lib, std::move(fresh));
            }
            *context = Handle<HSNMP_CONTEXT>(s->receivedContext);
        }
        if (srcEntity)
            *srcEntity = Handle<HSNMP_ENTITY>(Add(lib, MakeEntity(s->peerAddr, s->peerPort, msg.version)));
        if (dstEntity)
            *dstEntity = Handle<HSNMP_ENTITY>(Add(lib, MakeEntity(s->localAddr, s->localPort, msg.version)));
        if (PDU) {
            Object pdu;
            pdu.kind = Kind::Pdu;
            pdu.msg = std::move(msg);
            *PDU = Handle<HSNMP_PDU>(Add(lib, std::move(pdu)));
        }
        return SNMPAPI_SUCCESS;
    });
}

SNMPAPI_STATUS SnmpGetPduData(HSNMP_PDU PDU, smiLPINT PDU_type, smiLPINT32 request_id, smiLPINT error_status,
                              smiLPINT error_index, LPHSNMP_VBL varbindlist)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Object *pdu = Find(lib, Id(PDU), Kind::Pdu);
        if (!pdu)
            return SNMPAPI_FAILURE;
        if (varbindlist) {
            Object vbl;
            vbl.kind = Kind::Vbl;
            vbl.msg.bindings = pdu->msg.bindings;
            uintptr_t id = Add(lib, std::move(vbl));
            if (id == 0)
                return SNMPAPI_FAILURE;
            *varbindlist = Handle<HSNMP_VBL>(id);
        }
        if (PDU_type)
            *PDU_type = pdu->msg.pduType;
        if (request_id)
            *request_id = pdu->msg.requestId;
        if (error_status)
            *error_status = pdu->msg.errorStatus;
        if (error_index)
            *error_index = pdu->msg.errorIndex;
        return SNMPAPI_SUCCESS;
    });
}

SNMPAPI_STATUS SnmpGetVb(HSNMP_VBL vbl, smiUINT32 index, smiLPOID name, smiLPVALUE value)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Object *list = Find(lib, Id(vbl), Kind::Vbl);
        if (!list || index < 1 || index > list->msg.bindings.size())
            return SNMPAPI_FAILURE;
        ber::VarBind &vb = list->msg.bindings[index - 1];
        if (name) {
            name->len = static_cast<smiUINT32>(vb.name.size());
            name->ptr = vb.name.data();
        }
        if (value)
            ToSmiValue(vb.value, value);
        return SNMPAPI_SUCCESS;
    });
}

namespace {

SNMPAPI_STATUS Free(uintptr_t id, Kind kind)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        if (!Find(lib, id, kind))
            return SNMPAPI_FAILURE;
        lib.objects.erase(id);
        return SNMPAPI_SUCCESS;
    });
}

}  // namespace

SNMPAPI_STATUS SnmpFreeVbl(HSNMP_VBL vbl)
{
    return Free(Id(vbl), Kind::Vbl);
}

SNMPAPI_STATUS SnmpFreePdu(HSNMP_PDU PDU)
{
    return Free(Id(PDU), Kind::Pdu);
}

SNMPAPI_STATUS SnmpFreeEntity(HSNMP_ENTITY hEntity)
{
    return Free(Id(hEntity), Kind::Entity);
}

}  // namespace vsnmp
