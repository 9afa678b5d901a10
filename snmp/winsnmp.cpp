// The stack's handle tables and calls. One lock guards the tables; it is never
// held while a callback runs or while a receiver thread is joined, so callbacks
// may call back into the stack.
#include "snmp/winsnmp.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "snmp/ber.h"
#include "snmp/udp.h"

namespace vsnmp {

namespace {

const size_t kMaxDatagram = 65507;  // the largest UDP payload over IPv4
const int kReceivePollMs = 20;      // how long Cleanup may wait for a receiver to notice
const size_t kMaxWaiting = 16;      // datagrams kept for SnmpRecvMsg per session

enum class Kind { Session, Entity, Context, Pdu, Vbl };

struct Datagram {
    std::vector<uint8_t> bytes;
    uint32_t srcAddr;
    uint16_t srcPort;
    uint32_t dstAddr;
    uint16_t dstPort;
};

// A socket connected to one peer and the thread that receives on it.
struct Channel {
    uintptr_t session = 0;
    uint32_t peerAddr = 0;
    uint16_t peerPort = 0;
    uint32_t localAddr = 0;
    uint16_t localPort = 0;
    int32_t version = ber::VERSION_1;  // of what was sent; replies must match
    HWND hWnd = nullptr;
    UINT wMsg = 0;
    SNMPAPI_CALLBACK callback = nullptr;
    LPVOID clientData = nullptr;
    net::UdpSocket socket;
    std::atomic<bool> stop{false};
    std::thread thread;
};

// Every kind of object in one record; kind says which members matter.
struct Object {
    Kind kind = Kind::Session;
    uint64_t generation = 0;
    // session
    HWND hWnd = nullptr;
    UINT wMsg = 0;
    SNMPAPI_CALLBACK callback = nullptr;
    LPVOID clientData = nullptr;
    std::deque<Datagram> inbox;
    std::vector<std::unique_ptr<Channel>> channels;
    // entity
    uint32_t addr = 0;
    uint16_t port = 0;
    int32_t version = ber::VERSION_1;
    // context
    std::vector<uint8_t> community;
    // PDU, and its bindings (also those of a list)
    int pduType = 0;
    int32_t requestId = 0;
    int errorStatus = 0;
    int errorIndex = 0;
    std::vector<ber::VarBind> bindings;
};

// Memory handed out through smiOID and smiOCTETS, owned here until SnmpCleanup.
struct Descriptor {
    uint64_t generation = 0;
    std::vector<uint32_t> ids;
    std::vector<uint8_t> bytes;
};

struct Library {
    std::mutex lock;
    std::unordered_map<uintptr_t, Object> objects;
    std::unordered_map<const void *, Descriptor> descriptors;
    std::vector<uint64_t> uses;  // the generation of each SnmpStartup not yet cleaned up
    uint64_t nextGeneration = 1;
    uintptr_t lastHandle = 0;
    smiUINT32 translateMode = SNMPAPI_TRANSLATED;
    smiUINT32 retransmitMode = SNMPAPI_ON;
    std::atomic<unsigned> faults{0};

    ~Library()
    {
        // A process that never called SnmpCleanup: stop the receivers before the
        // threads are destroyed.
        for (auto &entry : objects) {
            for (auto &ch : entry.second.channels)
                ch->stop = true;
            for (auto &ch : entry.second.channels)
                if (ch->thread.joinable())
                    ch->thread.join();
        }
    }
};

Library &Lib()
{
    static Library lib;
    return lib;
}

template <typename H>
uintptr_t Id(H handle)
{
    return reinterpret_cast<uintptr_t>(handle);
}

template <typename H>
H Handle(uintptr_t id)
{
    return reinterpret_cast<H>(id);
}

// The object behind a handle when it exists and is of that kind. Lock held.
Object *Find(Library &lib, uintptr_t id, Kind kind)
{
    if (id == 0)
        return nullptr;
    auto it = lib.objects.find(id);
    return it != lib.objects.end() && it->second.kind == kind ? &it->second : nullptr;
}

// Adds an object to the current use of the stack; 0 when none is open. Lock held.
uintptr_t Add(Library &lib, Object &&object)
{
    if (lib.uses.empty())
        return 0;
    do {
        lib.lastHandle++;
    } while (lib.lastHandle == 0 || lib.objects.count(lib.lastHandle) != 0);
    object.generation = lib.uses.back();
    lib.objects.emplace(lib.lastHandle, std::move(object));
    return lib.lastHandle;
}

smiLPUINT32 AddIds(Library &lib, const std::vector<uint32_t> &ids)
{
    if (ids.empty())
        return nullptr;
    Descriptor d;
    d.generation = lib.uses.back();
    d.ids = ids;
    smiLPUINT32 ptr = d.ids.data();
    lib.descriptors.emplace(ptr, std::move(d));
    return ptr;
}

smiLPBYTE AddBytes(Library &lib, const std::vector<uint8_t> &bytes)
{
    if (bytes.empty())
        return nullptr;
    Descriptor d;
    d.generation = lib.uses.back();
    d.bytes = bytes;
    smiLPBYTE ptr = d.bytes.data();
    lib.descriptors.emplace(ptr, std::move(d));
    return ptr;
}

// Dotted-decimal IPv4 only: four parts of 1 to 3 digits, no leading zeros, each
// at most 255.
bool ParseIPv4(const char *text, uint32_t *addr)
{
    uint32_t value = 0;
    for (int part = 0; part < 4; part++) {
        if (part > 0 && *text++ != '.')
            return false;
        if (*text < '0' || *text > '9')
            return false;
        if (text[0] == '0' && text[1] >= '0' && text[1] <= '9')
            return false;
        unsigned n = 0;
        int digits = 0;
        while (*text >= '0' && *text <= '9' && digits < 4) {
            n = n * 10 + static_cast<unsigned>(*text++ - '0');
            digits++;
        }
        if (digits > 3 || n > 255)
            return false;
        value = (value << 8) | n;
    }
    if (*text != '\0')
        return false;
    *addr = value;
    return true;
}

bool ToBerValue(const smiVALUE &in, ber::Value *out)
{
    out->tag = static_cast<uint8_t>(in.syntax);
    switch (in.syntax) {
    case SNMP_SYNTAX_INT:
        out->integer = in.value.sNumber;
        return true;
    case SNMP_SYNTAX_CNTR32:
    case SNMP_SYNTAX_GAUGE32:
    case SNMP_SYNTAX_TIMETICKS:
    case SNMP_SYNTAX_UINT32:
        out->number = in.value.uNumber;
        return true;
    case SNMP_SYNTAX_CNTR64:
        out->number = (static_cast<uint64_t>(in.value.hNumber.hipart) << 32) | in.value.hNumber.lopart;
        return true;
    case SNMP_SYNTAX_OCTETS:
    case SNMP_SYNTAX_OPAQUE:
    case SNMP_SYNTAX_NSAPADDR:
    case SNMP_SYNTAX_IPADDR:
        if (in.value.string.len > 0 && !in.value.string.ptr)
            return false;
        if (in.syntax == SNMP_SYNTAX_IPADDR && in.value.string.len != 4)
            return false;
        out->octets.assign(in.value.string.ptr, in.value.string.ptr + in.value.string.len);
        return true;
    case SNMP_SYNTAX_OID:
        if (!in.value.oid.ptr || !ber::IsEncodableOid(in.value.oid.ptr, in.value.oid.len))
            return false;
        out->oid.assign(in.value.oid.ptr, in.value.oid.ptr + in.value.oid.len);
        return true;
    case SNMP_SYNTAX_NULL:
    case SNMP_SYNTAX_NOSUCHOBJECT:
    case SNMP_SYNTAX_NOSUCHINSTANCE:
    case SNMP_SYNTAX_ENDOFMIBVIEW:
        return true;
    default:
        return false;
    }
}

void ToSmiValue(Library &lib, const ber::Value &in, smiVALUE *out)
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
        v.value.string.ptr = AddBytes(lib, in.octets);
        break;
    case ber::TAG_OID:
        v.value.oid.len = static_cast<smiUINT32>(in.oid.size());
        v.value.oid.ptr = AddIds(lib, in.oid);
        break;
    default:
        break;
    }
    *out = v;
}

// Receives on one channel until told to stop: each datagram from the peer is
// queued on the session and announced to its callback, without the lock held.
void Receive(Channel *ch)
{
    Library &lib = Lib();
    std::vector<uint8_t> buf(kMaxDatagram + 1);
    while (!ch->stop.load(std::memory_order_acquire)) {
        int ready = ch->socket.Wait(kReceivePollMs);
        if (ready < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(kReceivePollMs));
        if (ready <= 0)
            continue;
        uint32_t addr = 0;
        uint16_t port = 0;
        long n = ch->socket.RecvFrom(buf.data(), buf.size(), &addr, &port);
        // Errors (an ICMP unreachable) are not messages; the connected socket
        // already keeps out other sources, and this keeps them out everywhere.
        if (n < 0 || addr != ch->peerAddr || port != ch->peerPort)
            continue;
        // A message in another version than the request is no answer to it, and
        // SNMPv1 has no Counter64 or exceptions: such a message is not for this
        // session. What does not decode still goes on, for SnmpRecvMsg to refuse.
        ber::Message msg;
        if (ber::DecodeMessage(buf.data(), static_cast<size_t>(n), &msg) == ber::BER_OK &&
            (msg.version != ch->version || (msg.version == ber::VERSION_1 && !ber::HasOnlyV1Syntax(msg))))
            continue;
        {
            std::lock_guard<std::mutex> guard(lib.lock);
            Object *session = Find(lib, ch->session, Kind::Session);
            if (!session)
                return;
            if (session->inbox.size() >= kMaxWaiting)
                session->inbox.pop_front();
            session->inbox.push_back(Datagram{std::vector<uint8_t>(buf.begin(), buf.begin() + n), addr, port,
                                              ch->localAddr, ch->localPort});
        }
        if (ch->callback)
            ch->callback(Handle<HSNMP_SESSION>(ch->session), ch->hWnd, ch->wMsg, 0, 0, ch->clientData);
    }
}

// The channel of a session to one peer, opened (socket connected, receiver
// started) on first use. Lock held.
Channel *OpenChannel(Object *session, uintptr_t sessionId, uint32_t addr, uint16_t port, int32_t version)
{
    for (auto &ch : session->channels)
        if (ch->peerAddr == addr && ch->peerPort == port && ch->version == version)
            return ch.get();
    auto ch = std::make_unique<Channel>();
    ch->session = sessionId;
    ch->peerAddr = addr;
    ch->peerPort = port;
    ch->version = version;
    ch->hWnd = session->hWnd;
    ch->wMsg = session->wMsg;
    ch->callback = session->callback;
    ch->clientData = session->clientData;
    if (!ch->socket.Open() || !ch->socket.Connect(addr, port) ||
        !ch->socket.LocalAddress(&ch->localAddr, &ch->localPort))
        return nullptr;
    ch->thread = std::thread(Receive, ch.get());
    session->channels.push_back(std::move(ch));
    return session->channels.back().get();
}

}  // namespace

SNMPAPI_STATUS SnmpStartup(smiLPUINT32 nMajorVersion, smiLPUINT32 nMinorVersion, smiLPUINT32 nLevel,
                           smiLPUINT32 nTranslateMode, smiLPUINT32 nRetransmitMode)
{
    Library &lib = Lib();
    if (lib.faults.load() & FAULT_STARTUP)
        return SNMPAPI_FAILURE;
    if (!net::NetStartup())
        return SNMPAPI_FAILURE;
    std::lock_guard<std::mutex> guard(lib.lock);
    lib.uses.push_back(lib.nextGeneration++);
    if (nMajorVersion)
        *nMajorVersion = 2;
    if (nMinorVersion)
        *nMinorVersion = 0;
    if (nLevel)
        *nLevel = 1;
    if (nTranslateMode)
        *nTranslateMode = lib.translateMode;
    if (nRetransmitMode)
        *nRetransmitMode = lib.retransmitMode;
    return SNMPAPI_SUCCESS;
}

SNMPAPI_STATUS SnmpCleanup()
{
    Library &lib = Lib();
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> guard(lib.lock);
        if (lib.uses.empty())
            return SNMPAPI_FAILURE;
        generation = lib.uses.back();
        // Joining our own thread would never end.
        for (auto &entry : lib.objects)
            if (entry.second.generation >= generation)
                for (auto &ch : entry.second.channels)
                    if (ch->thread.get_id() == std::this_thread::get_id())
                        return SNMPAPI_FAILURE;
    }
    // A callback may open channels while others are joined: repeat until none is left.
    while (true) {
        std::vector<std::unique_ptr<Channel>> doomed;
        {
            std::lock_guard<std::mutex> guard(lib.lock);
            for (auto &entry : lib.objects) {
                if (entry.second.generation < generation)
                    continue;
                for (auto &ch : entry.second.channels)
                    doomed.push_back(std::move(ch));
                entry.second.channels.clear();
            }
        }
        if (doomed.empty())
            break;
        for (auto &ch : doomed)
            ch->stop.store(true, std::memory_order_release);
        for (auto &ch : doomed)
            if (ch->thread.joinable())
                ch->thread.join();
    }
    {
        std::lock_guard<std::mutex> guard(lib.lock);
        for (auto it = lib.objects.begin(); it != lib.objects.end();)
            it = it->second.generation >= generation ? lib.objects.erase(it) : std::next(it);
        for (auto it = lib.descriptors.begin(); it != lib.descriptors.end();)
            it = it->second.generation >= generation ? lib.descriptors.erase(it) : std::next(it);
        lib.uses.pop_back();
    }
    net::NetCleanup();
    return SNMPAPI_SUCCESS;
}

SNMPAPI_STATUS SnmpSetRetransmitMode(smiUINT32 nRetransmitMode)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (lib.uses.empty() || (nRetransmitMode != SNMPAPI_OFF && nRetransmitMode != SNMPAPI_ON))
        return SNMPAPI_FAILURE;
    lib.retransmitMode = nRetransmitMode;
    return SNMPAPI_SUCCESS;
}

SNMPAPI_STATUS SnmpSetTranslateMode(smiUINT32 nTranslateMode)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (lib.uses.empty() || nTranslateMode > SNMPAPI_UNTRANSLATED_V2)
        return SNMPAPI_FAILURE;
    lib.translateMode = nTranslateMode;
    return SNMPAPI_SUCCESS;
}

HSNMP_SESSION SnmpCreateSession(HWND hWnd, UINT wMsg, SNMPAPI_CALLBACK fCallBack, LPVOID lpClientData)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (!fCallBack)
        return nullptr;
    Object session;
    session.kind = Kind::Session;
    session.hWnd = hWnd;
    session.wMsg = wMsg;
    session.callback = fCallBack;
    session.clientData = lpClientData;
    return Handle<HSNMP_SESSION>(Add(lib, std::move(session)));
}

SNMPAPI_STATUS SnmpStrToOid(LPCSTR string, smiLPOID dstOID)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    std::vector<uint32_t> ids(ber::MAX_OID_LEN);
    size_t count = string ? ber::ParseOidText(string, ids.data(), ids.size()) : 0;
    if (lib.uses.empty() || !dstOID || count == 0)
        return SNMPAPI_FAILURE;
    ids.resize(count);
    dstOID->len = static_cast<smiUINT32>(ids.size());
    dstOID->ptr = AddIds(lib, ids);
    return dstOID->len;
}

HSNMP_VBL SnmpCreateVbl(HSNMP_SESSION session, smiLPCOID name, smiLPCVALUE value)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (!Find(lib, Id(session), Kind::Session))
        return nullptr;
    Object vbl;
    vbl.kind = Kind::Vbl;
    if (name) {
        if (!name->ptr || !ber::IsEncodableOid(name->ptr, name->len))
            return nullptr;
        ber::VarBind vb;
        vb.name.assign(name->ptr, name->ptr + name->len);
        if (value && !ToBerValue(*value, &vb.value))
            return nullptr;
        vbl.bindings.push_back(std::move(vb));
    }
    return Handle<HSNMP_VBL>(Add(lib, std::move(vbl)));
}

HSNMP_PDU SnmpCreatePdu(HSNMP_SESSION session, smiINT PDU_type, smiINT32 request_id, smiINT error_status,
                        smiINT error_index, HSNMP_VBL varbindlist)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (!Find(lib, Id(session), Kind::Session) || PDU_type < SNMP_PDU_GET || PDU_type > SNMP_PDU_SET)
        return nullptr;
    Object pdu;
    pdu.kind = Kind::Pdu;
    pdu.pduType = PDU_type;
    pdu.requestId = request_id;
    pdu.errorStatus = error_status;
    pdu.errorIndex = error_index;
    if (varbindlist) {
        Object *vbl = Find(lib, Id(varbindlist), Kind::Vbl);
        if (!vbl)
            return nullptr;
        pdu.bindings = vbl->bindings;
    }
    return Handle<HSNMP_PDU>(Add(lib, std::move(pdu)));
}

HSNMP_ENTITY SnmpStrToEntity(HSNMP_SESSION session, LPCSTR string)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    uint32_t addr = 0;
    if (!Find(lib, Id(session), Kind::Session) || !string || !ParseIPv4(string, &addr))
        return nullptr;
    Object entity;
    entity.kind = Kind::Entity;
    entity.addr = addr;
    entity.port = SNMP_DEFAULT_PORT;
    entity.version = lib.translateMode == SNMPAPI_UNTRANSLATED_V2 ? ber::VERSION_2C : ber::VERSION_1;
    return Handle<HSNMP_ENTITY>(Add(lib, std::move(entity)));
}

SNMPAPI_STATUS SnmpSetPort(HSNMP_ENTITY hEntity, UINT nPort)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    Object *entity = Find(lib, Id(hEntity), Kind::Entity);
    if (!entity || nPort > 0xFFFF)
        return SNMPAPI_FAILURE;
    entity->port = static_cast<uint16_t>(nPort);
    return SNMPAPI_SUCCESS;
}

HSNMP_CONTEXT SnmpStrToContext(HSNMP_SESSION session, smiLPCOCTETS string)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (!Find(lib, Id(session), Kind::Session) || !string || (string->len > 0 && !string->ptr))
        return nullptr;
    Object context;
    context.kind = Kind::Context;
    context.community.assign(string->ptr, string->ptr + string->len);
    return Handle<HSNMP_CONTEXT>(Add(lib, std::move(context)));
}

SNMPAPI_STATUS SnmpSendMsg(HSNMP_SESSION session, HSNMP_ENTITY srcEntity, HSNMP_ENTITY dstEntity,
                           HSNMP_CONTEXT context, HSNMP_PDU PDU)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    Object *s = Find(lib, Id(session), Kind::Session);
    Object *dst = Find(lib, Id(dstEntity), Kind::Entity);
    Object *ctx = Find(lib, Id(context), Kind::Context);
    Object *pdu = Find(lib, Id(PDU), Kind::Pdu);
    if (!s || !Find(lib, Id(srcEntity), Kind::Entity) || !dst || !ctx || !pdu)
        return SNMPAPI_FAILURE;
    if (lib.faults.load() & FAULT_SEND)
        return SNMPAPI_FAILURE;

    ber::Message msg;
    msg.version = dst->version;
    msg.community = ctx->community;
    msg.pduType = static_cast<uint8_t>(pdu->pduType);
    msg.requestId = pdu->requestId;
    msg.errorStatus = pdu->errorStatus;
    msg.errorIndex = pdu->errorIndex;
    msg.bindings = pdu->bindings;
    std::vector<uint8_t> buf(kMaxDatagram);
    size_t len = 0;
    if (ber::EncodeMessage(msg, buf.data(), buf.size(), &len) != ber::BER_OK)
        return SNMPAPI_FAILURE;

    Channel *ch = OpenChannel(s, Id(session), dst->addr, dst->port, dst->version);
    if (!ch || !ch->socket.Send(buf.data() + buf.size() - len, len))
        return SNMPAPI_FAILURE;
    return SNMPAPI_SUCCESS;
}

SNMPAPI_STATUS SnmpRecvMsg(HSNMP_SESSION session, LPHSNMP_ENTITY srcEntity, LPHSNMP_ENTITY dstEntity,
                           LPHSNMP_CONTEXT context, LPHSNMP_PDU PDU)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    Object *s = Find(lib, Id(session), Kind::Session);
    if (!s || s->inbox.empty())
        return SNMPAPI_FAILURE;
    Datagram dgram = std::move(s->inbox.front());
    s->inbox.pop_front();
    ber::Message msg;
    if (ber::DecodeMessage(dgram.bytes.data(), dgram.bytes.size(), &msg) != ber::BER_OK)
        return SNMPAPI_FAILURE;

    if (srcEntity) {
        Object entity;
        entity.kind = Kind::Entity;
        entity.addr = dgram.srcAddr;
        entity.port = dgram.srcPort;
        *srcEntity = Handle<HSNMP_ENTITY>(Add(lib, std::move(entity)));
    }
    if (dstEntity) {
        Object entity;
        entity.kind = Kind::Entity;
        entity.addr = dgram.dstAddr;
        entity.port = dgram.dstPort;
        *dstEntity = Handle<HSNMP_ENTITY>(Add(lib, std::move(entity)));
    }
    if (context) {
        Object ctx;
        ctx.kind = Kind::Context;
        ctx.community = std::move(msg.community);
        *context = Handle<HSNMP_CONTEXT>(Add(lib, std::move(ctx)));
    }
    if (PDU) {
        Object pdu;
        pdu.kind = Kind::Pdu;
        pdu.pduType = msg.pduType;
        pdu.requestId = msg.requestId;
        pdu.errorStatus = msg.errorStatus;
        pdu.errorIndex = msg.errorIndex;
        pdu.bindings = std::move(msg.bindings);
        *PDU = Handle<HSNMP_PDU>(Add(lib, std::move(pdu)));
    }
    return SNMPAPI_SUCCESS;
}

SNMPAPI_STATUS SnmpGetPduData(HSNMP_PDU PDU, smiLPINT PDU_type, smiLPINT32 request_id, smiLPINT error_status,
                              smiLPINT error_index, LPHSNMP_VBL varbindlist)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    Object *pdu = Find(lib, Id(PDU), Kind::Pdu);
    if (!pdu)
        return SNMPAPI_FAILURE;
    if (varbindlist) {
        Object vbl;
        vbl.kind = Kind::Vbl;
        vbl.bindings = pdu->bindings;
        uintptr_t id = Add(lib, std::move(vbl));
        if (id == 0)
            return SNMPAPI_FAILURE;
        *varbindlist = Handle<HSNMP_VBL>(id);
    }
    if (PDU_type)
        *PDU_type = pdu->pduType;
    if (request_id)
        *request_id = pdu->requestId;
    if (error_status)
        *error_status = pdu->errorStatus;
    if (error_index)
        *error_index = pdu->errorIndex;
    return SNMPAPI_SUCCESS;
}

SNMPAPI_STATUS SnmpGetVb(HSNMP_VBL vbl, smiUINT32 index, smiLPOID name, smiLPVALUE value)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    Object *list = Find(lib, Id(vbl), Kind::Vbl);
    if (!list || index < 1 || index > list->bindings.size())
        return SNMPAPI_FAILURE;
    const ber::VarBind &vb = list->bindings[index - 1];
    if (name) {
        name->len = static_cast<smiUINT32>(vb.name.size());
        name->ptr = AddIds(lib, vb.name);
    }
    if (value)
        ToSmiValue(lib, vb.value, value);
    return SNMPAPI_SUCCESS;
}

namespace {

SNMPAPI_STATUS Free(uintptr_t id, Kind kind)
{
    Library &lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (!Find(lib, id, kind))
        return SNMPAPI_FAILURE;
    lib.objects.erase(id);
    return SNMPAPI_SUCCESS;
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

SNMPAPI_STATUS SnmpFreeContext(HSNMP_CONTEXT hContext)
{
    return Free(Id(hContext), Kind::Context);
}

void SetFaults(unsigned faults)
{
    Lib().faults.store(faults);
}

}  // namespace vsnmp
