// The stack's calls. Each runs its body under the lock through Locked
// (handles.h), SnmpCleanup in steps, and none throws: a failure to allocate or
// to start a thread is that call's failure. Sessions, their receivers and the
// building of requests are in session.cpp.
#include "snmp/winsnmp.h"

#include <cstring>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "snmp/ber.h"
#include "snmp/handles.h"
#include "snmp/session.h"
#include "snmp/system.h"
#include "snmp/udp.h"
#include "snmp/v3exchange.h"

namespace vsnmp {

using namespace stack;

namespace {

Session *FindSession(Library &lib, HSNMP_SESSION handle)
{
    std::unique_ptr<Session> *s = lib.sessions.Find(Id(handle));
    return s ? s->get() : nullptr;
}

Entity MakeEntity(uint32_t addr, uint16_t port, int32_t version)
{
    Entity entity;
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
        for (auto &entry : lib.sessions) {
            const std::thread &thread = entry.second->thread;
            if (lib.uses == 1 && thread.joinable() && thread.get_id() == std::this_thread::get_id())
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
    while (Session *s = Locked<Session *>(nullptr, [](Library &lib) { return StopReceivers(lib); }))
        s->thread.join();
    Locked(false, [](Library &lib) {
        lib.Clear();
        lib.engines.EndUse();
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
        std::unique_ptr<Session> session(new Session);
        Session *s = session.get();
        s->hWnd = hWnd;
        s->wMsg = wMsg;
        s->callback = fCallBack;
        s->clientData = lpClientData;
        s->id = lib.Add(lib.sessions, std::move(session));
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
        if (!FindSession(lib, session))
            return HSNMP_VBL(nullptr);
        Vbl vbl;
        if (name) {
            ber::VarBind vb;
            if (!RequestBinding(name, value, &vb))
                return HSNMP_VBL(nullptr);
            vbl.bindings.push_back(std::move(vb));
        }
        return Handle<HSNMP_VBL>(lib.Add(lib.vbls, std::move(vbl)));
    });
}

SNMPAPI_STATUS SnmpSetVb(HSNMP_VBL vbl, smiUINT32 index, smiLPCOID name, smiLPCVALUE value)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Vbl *list = lib.vbls.Find(Id(vbl));
        ber::VarBind vb;
        if (!list || index > list->bindings.size() || !RequestBinding(name, value, &vb))
            return SNMPAPI_FAILURE;
        std::vector<ber::VarBind> &bindings = list->bindings;
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
        Vbl *list = lib.vbls.Find(Id(vbl));
        return list ? static_cast<SNMPAPI_STATUS>(list->bindings.size()) : SNMPAPI_FAILURE;
    });
}

HSNMP_PDU SnmpCreatePdu(HSNMP_SESSION session, smiINT PDU_type, smiINT32 request_id, smiINT error_status,
                        smiINT error_index, HSNMP_VBL varbindlist)
{
    return Locked<HSNMP_PDU>(nullptr, [&](Library &lib) {
        bool bulk = PDU_type == SNMP_PDU_GETBULK;
        if (!FindSession(lib, session) || ((PDU_type < SNMP_PDU_GET || PDU_type > SNMP_PDU_RESPONSE) && !bulk) ||
            (bulk && (error_status < 0 || error_index < 0)))
            return HSNMP_PDU(nullptr);
        Pdu pdu;
        pdu.type = static_cast<uint8_t>(PDU_type);
        pdu.requestId = request_id;
        pdu.errorStatus = error_status;
        pdu.errorIndex = error_index;
        if (varbindlist) {
            Vbl *vbl = lib.vbls.Find(Id(varbindlist));
            if (!vbl)
                return HSNMP_PDU(nullptr);
            pdu.bindings = vbl->bindings;
        }
        return Handle<HSNMP_PDU>(lib.Add(lib.pdus, std::move(pdu)));
    });
}

HSNMP_ENTITY SnmpStrToEntity(HSNMP_SESSION session, LPCSTR string)
{
    return Locked<HSNMP_ENTITY>(nullptr, [&](Library &lib) {
        uint32_t addr = 0;
        if (!FindSession(lib, session) || !net::ParseIPv4(string, &addr))
            return HSNMP_ENTITY(nullptr);
        int32_t version = lib.translateMode == SNMPAPI_UNTRANSLATED_V2   ? ber::VERSION_2C
                          : lib.translateMode == SNMPAPI_UNTRANSLATED_V3 ? v3::VERSION_3
                                                                         : ber::VERSION_1;
        return Handle<HSNMP_ENTITY>(lib.Add(lib.entities, MakeEntity(addr, SNMP_DEFAULT_PORT, version)));
    });
}

SNMPAPI_STATUS SnmpSetPort(HSNMP_ENTITY hEntity, UINT nPort)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Entity *entity = lib.entities.Find(Id(hEntity));
        if (!entity || nPort > 0xFFFF)
            return SNMPAPI_FAILURE;
        entity->port = static_cast<uint16_t>(nPort);
        return SNMPAPI_SUCCESS;
    });
}

SNMPAPI_STATUS SnmpSetEntityUser(HSNMP_ENTITY hEntity, const SnmpV3User *user)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Entity *entity = lib.entities.Find(Id(hEntity));
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
        if (!FindSession(lib, session) || !string || (string->len > 0 && !string->ptr))
            return HSNMP_CONTEXT(nullptr);
        Context context;
        context.name.assign(string->ptr, string->ptr + string->len);
        return Handle<HSNMP_CONTEXT>(lib.Add(lib.contexts, std::move(context)));
    });
}

SNMPAPI_STATUS SnmpSendMsg(HSNMP_SESSION session, HSNMP_ENTITY srcEntity, HSNMP_ENTITY dstEntity,
                           HSNMP_CONTEXT context, HSNMP_PDU PDU)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Session *s = FindSession(lib, session);
        Entity *dst = lib.entities.Find(Id(dstEntity));
        Context *ctx = lib.contexts.Find(Id(context));
        Pdu *pdu = lib.pdus.Find(Id(PDU));
        if (!s || !lib.entities.Find(Id(srcEntity)) || !dst || !ctx || !pdu)
            return SNMPAPI_FAILURE;
        return SendRequest(lib, s, *dst, *ctx, *pdu) ? SNMPAPI_SUCCESS : SNMPAPI_FAILURE;
    });
}

SNMPAPI_STATUS SnmpRecvMsg(HSNMP_SESSION session, LPHSNMP_ENTITY srcEntity, LPHSNMP_ENTITY dstEntity,
                           LPHSNMP_CONTEXT context, LPHSNMP_PDU PDU)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Session *s = FindSession(lib, session);
        ber::Message msg;
        if (!s || !TakeMessage(s, &msg))
            return SNMPAPI_FAILURE;
        if (context) {
            // One context per session for what it receives, each message's
            // community replacing the last, so no flood can pile them up.
            Context *ctx = lib.contexts.Find(s->receivedContext);
            if (ctx) {
                ctx->name = std::move(msg.community);
            } else {
                Context fresh;
                fresh.name = std::move(msg.community);
                s->receivedContext = lib.Add(lib.contexts, std::move(fresh));
            }
            *context = Handle<HSNMP_CONTEXT>(s->receivedContext);
        }
        if (srcEntity)
            *srcEntity = Handle<HSNMP_ENTITY>(lib.Add(lib.entities, MakeEntity(s->peerAddr, s->peerPort, msg.version)));
        if (dstEntity)
            *dstEntity =
                Handle<HSNMP_ENTITY>(lib.Add(lib.entities, MakeEntity(s->localAddr, s->localPort, msg.version)));
        if (PDU) {
            Pdu pdu;
            pdu.type = msg.pduType;
            pdu.requestId = msg.requestId;
            pdu.errorStatus = msg.errorStatus;
            pdu.errorIndex = msg.errorIndex;
            pdu.bindings = std::move(msg.bindings);
            *PDU = Handle<HSNMP_PDU>(lib.Add(lib.pdus, std::move(pdu)));
        }
        return SNMPAPI_SUCCESS;
    });
}

SNMPAPI_STATUS SnmpGetPduData(HSNMP_PDU PDU, smiLPINT PDU_type, smiLPINT32 request_id, smiLPINT error_status,
                              smiLPINT error_index, LPHSNMP_VBL varbindlist)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Pdu *pdu = lib.pdus.Find(Id(PDU));
        if (!pdu)
            return SNMPAPI_FAILURE;
        if (varbindlist) {
            Vbl vbl;
            vbl.bindings = pdu->bindings;
            uintptr_t id = lib.Add(lib.vbls, std::move(vbl));
            if (id == 0)
                return SNMPAPI_FAILURE;
            *varbindlist = Handle<HSNMP_VBL>(id);
        }
        if (PDU_type)
            *PDU_type = pdu->type;
        if (request_id)
            *request_id = pdu->requestId;
        if (error_status)
            *error_status = pdu->errorStatus;
        if (error_index)
            *error_index = pdu->errorIndex;
        return SNMPAPI_SUCCESS;
    });
}

SNMPAPI_STATUS SnmpGetVb(HSNMP_VBL vbl, smiUINT32 index, smiLPOID name, smiLPVALUE value)
{
    return Locked(SNMPAPI_FAILURE, [&](Library &lib) {
        Vbl *list = lib.vbls.Find(Id(vbl));
        if (!list || index < 1 || index > list->bindings.size())
            return SNMPAPI_FAILURE;
        ber::VarBind &vb = list->bindings[index - 1];
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

template <typename T>
SNMPAPI_STATUS Free(Table<T> Library::*table, uintptr_t id)
{
    return Locked(SNMPAPI_FAILURE,
                  [&](Library &lib) { return (lib.*table).Erase(id) ? SNMPAPI_SUCCESS : SNMPAPI_FAILURE; });
}

}  // namespace

SNMPAPI_STATUS SnmpFreeVbl(HSNMP_VBL vbl)
{
    return Free(&Library::vbls, Id(vbl));
}

SNMPAPI_STATUS SnmpFreePdu(HSNMP_PDU PDU)
{
    return Free(&Library::pdus, Id(PDU));
}

SNMPAPI_STATUS SnmpFreeEntity(HSNMP_ENTITY hEntity)
{
    return Free(&Library::entities, Id(hEntity));
}

}  // namespace vsnmp
