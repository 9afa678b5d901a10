// Our SNMPv1 and SNMPv2c stack behind calls shaped like WinSNMP's: the same
// names, argument orders, handle types and results, in a namespace of its own so
// it never clashes with a system header. Replies reach a session's callback on
// a receiver thread of the stack's own. No call throws.
#pragma once

#include <cstdint>

#include "snmp/usm.h"

namespace vsnmp {

typedef void *HWND;  // a real Win32 HWND converts to it
typedef unsigned int UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef void *LPVOID;
typedef const char *LPCSTR;

typedef int smiINT;
typedef int32_t smiINT32;
typedef uint32_t smiUINT32;
typedef unsigned char smiBYTE;
typedef smiINT *smiLPINT;
typedef smiINT32 *smiLPINT32;
typedef smiUINT32 *smiLPUINT32;
typedef smiBYTE *smiLPBYTE;

struct smiOID {
    smiUINT32 len;
    smiLPUINT32 ptr;
};
typedef smiOID *smiLPOID;
typedef const smiOID *smiLPCOID;

struct smiOCTETS {
    smiUINT32 len;
    smiLPBYTE ptr;
};
typedef const smiOCTETS *smiLPCOCTETS;

struct smiCNTR64 {
    smiUINT32 hipart;
    smiUINT32 lopart;
};

struct smiVALUE {
    smiUINT32 syntax;
    union {
        smiINT sNumber;
        smiUINT32 uNumber;
        smiCNTR64 hNumber;
        smiOCTETS string;
        smiOID oid;
        smiBYTE empty;
    } value;
};
typedef smiVALUE *smiLPVALUE;
typedef const smiVALUE *smiLPCVALUE;

// Handles are opaque; each kind is a type of its own, and 0 is never a valid one.
// The tag names are the ones WinSNMP's headers declare.
// NOLINTBEGIN(bugprone-reserved-identifier)
struct HSNMP_SESSION__;
struct HSNMP_ENTITY__;
struct HSNMP_CONTEXT__;
struct HSNMP_PDU__;
struct HSNMP_VBL__;
// NOLINTEND(bugprone-reserved-identifier)
typedef HSNMP_SESSION__ *HSNMP_SESSION;
typedef HSNMP_ENTITY__ *HSNMP_ENTITY;
typedef HSNMP_CONTEXT__ *HSNMP_CONTEXT;
typedef HSNMP_PDU__ *HSNMP_PDU;
typedef HSNMP_VBL__ *HSNMP_VBL;
typedef HSNMP_ENTITY *LPHSNMP_ENTITY;
typedef HSNMP_CONTEXT *LPHSNMP_CONTEXT;
typedef HSNMP_PDU *LPHSNMP_PDU;
typedef HSNMP_VBL *LPHSNMP_VBL;

typedef smiUINT32 SNMPAPI_STATUS;

typedef SNMPAPI_STATUS (*SNMPAPI_CALLBACK)(HSNMP_SESSION hSession, HWND hWnd, UINT wMsg, WPARAM wParam,
                                           LPARAM lParam, LPVOID lpClientData);

const SNMPAPI_STATUS SNMPAPI_FAILURE = 0;
const SNMPAPI_STATUS SNMPAPI_SUCCESS = 1;

const smiUINT32 SNMPAPI_OFF = 0;
const smiUINT32 SNMPAPI_ON = 1;

const smiUINT32 SNMPAPI_TRANSLATED = 0;
const smiUINT32 SNMPAPI_UNTRANSLATED_V1 = 1;
const smiUINT32 SNMPAPI_UNTRANSLATED_V2 = 2;
// Not WinSNMP's, which has no SNMPv3: entities made in this mode speak SNMPv3
// as the user SnmpSetEntityUser gives them.
const smiUINT32 SNMPAPI_UNTRANSLATED_V3 = 3;

const smiINT SNMP_PDU_GET = 0xA0;
const smiINT SNMP_PDU_GETNEXT = 0xA1;
const smiINT SNMP_PDU_RESPONSE = 0xA2;
const smiINT SNMP_PDU_GETBULK = 0xA5;

const smiINT SNMP_ERROR_NOERROR = 0;
const smiINT SNMP_ERROR_TOOBIG = 1;
const smiINT SNMP_ERROR_NOSUCHNAME = 2;
const smiINT SNMP_ERROR_GENERR = 5;

// Syntax numbers are the BER tags of the values.
const smiUINT32 SNMP_SYNTAX_INT = 0x02;
const smiUINT32 SNMP_SYNTAX_OCTETS = 0x04;
const smiUINT32 SNMP_SYNTAX_NULL = 0x05;
const smiUINT32 SNMP_SYNTAX_CNTR32 = 0x41;
const smiUINT32 SNMP_SYNTAX_GAUGE32 = 0x42;
const smiUINT32 SNMP_SYNTAX_TIMETICKS = 0x43;
const smiUINT32 SNMP_SYNTAX_CNTR64 = 0x46;
const smiUINT32 SNMP_SYNTAX_UINT32 = 0x47;
const smiUINT32 SNMP_SYNTAX_NOSUCHOBJECT = 0x80;
const smiUINT32 SNMP_SYNTAX_NOSUCHINSTANCE = 0x81;
const smiUINT32 SNMP_SYNTAX_ENDOFMIBVIEW = 0x82;

const UINT SNMP_DEFAULT_PORT = 161;

// Why an SNMPv3 request failed, announced to the session's callback in wParam
// (lParam: the request id); wParam 0 announces a message to receive, as ever.
const WPARAM SNMPAPI_V3_UNKNOWN_USER = 201;
const WPARAM SNMPAPI_V3_WRONG_DIGESTS = 202;
const WPARAM SNMPAPI_V3_UNSUPPORTED_SECURITY_LEVEL = 203;
const WPARAM SNMPAPI_V3_DECRYPTION_ERROR = 204;
const WPARAM SNMPAPI_V3_UNKNOWN_ENGINE = 205;
const WPARAM SNMPAPI_V3_NOT_IN_TIME_WINDOW = 206;
const WPARAM SNMPAPI_V3_AUTHENTICATION_FAILURE = 207;  // a reply whose MAC does not verify: not used

// An SNMPv3 user of the user-based security model. A protocol of NONE leaves
// its password unused; privacy needs authentication.
struct SnmpV3User {
    LPCSTR userName;
    usm::AuthProtocol authProtocol;
    LPCSTR authPassword;
    usm::PrivProtocol privProtocol;
    LPCSTR privPassword;
};

// Starts a use of the stack; each call needs its SnmpCleanup. The five outputs
// (any may be null) get version 2.0, level 1, and the current modes.
SNMPAPI_STATUS SnmpStartup(smiLPUINT32 nMajorVersion, smiLPUINT32 nMinorVersion, smiLPUINT32 nLevel,
                           smiLPUINT32 nTranslateMode, smiLPUINT32 nRetransmitMode);

// Ends a use begun by SnmpStartup. The last one closes every socket, ends and
// joins every receiver thread at once and frees every handle and descriptor: from
// its start no callback starts and no datagram still waiting is taken, and it
// returns once a callback already running is done. It allocates nothing, so it
// cannot fail for want of memory. Fails when that would be called from a callback.
SNMPAPI_STATUS SnmpCleanup();

// The stack never retransmits, whatever the mode.
SNMPAPI_STATUS SnmpSetRetransmitMode(smiUINT32 nRetransmitMode);

// Entities are dotted-decimal IPv4 texts and contexts literal communities in every
// mode. An entity made while the mode is SNMPAPI_UNTRANSLATED_V2 speaks SNMPv2c,
// one made in SNMPAPI_UNTRANSLATED_V3 SNMPv3 (a context then names the scoped
// PDU's context, empty as a rule), any other SNMPv1: messages to it go in that
// version, and only replies in it come back.
SNMPAPI_STATUS SnmpSetTranslateMode(smiUINT32 nTranslateMode);

// Opens a session whose received messages are announced by calling fCallBack
// (wParam 0) on a receiver thread. Only GetResponse messages from the peer the
// session sent to, in the version it sent, are received; at most 8 wait for
// SnmpRecvMsg, and any beyond those are dropped unannounced. Returns 0 on failure.
HSNMP_SESSION SnmpCreateSession(HWND hWnd, UINT wMsg, SNMPAPI_CALLBACK fCallBack, LPVOID lpClientData);

// Converts dotted-decimal text ("1.3.6.1...") into dstOID, whose sub-identifiers
// the stack owns until SnmpCleanup. Returns their count, or 0 (dstOID untouched).
SNMPAPI_STATUS SnmpStrToOid(LPCSTR string, smiLPOID dstOID);

// A list of one binding (name with a NULL value: value is null or of syntax
// NULL), or an empty list when name is null. Returns 0 on failure.
HSNMP_VBL SnmpCreateVbl(HSNMP_SESSION session, smiLPCOID name, smiLPCVALUE value);

// Sets the binding at a 1-based index of the list to name with a NULL value, or
// appends it when index is 0. Returns the binding's index, or 0 on failure.
SNMPAPI_STATUS SnmpSetVb(HSNMP_VBL vbl, smiUINT32 index, smiLPCOID name, smiLPCVALUE value);

// The number of bindings in a list; 0 also for a bad handle.
SNMPAPI_STATUS SnmpCountVbl(HSNMP_VBL vbl);

// A Get, GetNext, Response or GetBulk PDU of a copy of varbindlist (empty when
// it is 0). For SNMP_PDU_GETBULK, error_status and error_index are its
// non-repeaters and max-repetitions, and may not be negative. Returns 0 on failure.
HSNMP_PDU SnmpCreatePdu(HSNMP_SESSION session, smiINT PDU_type, smiINT32 request_id, smiINT error_status,
                        smiINT error_index, HSNMP_VBL varbindlist);

// An entity for a dotted-decimal IPv4 address, at port 161. Returns 0 for any other text.
HSNMP_ENTITY SnmpStrToEntity(HSNMP_SESSION session, LPCSTR string);

SNMPAPI_STATUS SnmpSetPort(HSNMP_ENTITY hEntity, UINT nPort);

// Not WinSNMP's: the user (copied) that messages to an SNMPv3 entity speak as.
// Fails for an entity of another version, or a user with an empty name or
// password, a protocol not listed, or privacy without authentication.
SNMPAPI_STATUS SnmpSetEntityUser(HSNMP_ENTITY hEntity, const SnmpV3User *user);

// A context for a community, copied. Returns 0 on failure.
HSNMP_CONTEXT SnmpStrToContext(HSNMP_SESSION session, smiLPCOCTETS string);

// Sends the PDU as one message in the destination entity's version (a GetBulk
// PDU only in SNMPv2c), once, in one UDP datagram to its address and port (161 unless set), through the session's
// socket, connected there on its first send: a session talks to one peer, and
// only datagrams from that address and port, in that version (and for SNMPv1
// without SNMPv2's syntaxes), come back to it. The source entity only has to be valid.
// To an SNMPv3 entity whose engine the stack does not know yet, the datagram
// asks for the engine, and the request follows from the receiver when the
// agent's report comes; what is learnt (engine ID, boots, time, the user's
// keys) outlives SnmpCleanup, but for one case: an agent replaced under a new
// engine ID may drop requests for the old one without a report, so an engine
// is forgotten once two uses of the stack in a row (SnmpStartup to the last
// SnmpCleanup) sent it a request and took nothing back, and the next request
// discovers it again. A use that takes anything back from it starts the count
// anew: a reply lost now and then costs no datagram. Only a reply that
// verifies and lies inside the engine's time window is received; failures
// reach the callback (see SNMPAPI_V3_UNKNOWN_USER). Sending the SNMPv3 request
// under way again, with the same request id, is another try of it: a reply to
// any try is received.
SNMPAPI_STATUS SnmpSendMsg(HSNMP_SESSION session, HSNMP_ENTITY srcEntity, HSNMP_ENTITY dstEntity,
                           HSNMP_CONTEXT context, HSNMP_PDU PDU);

// Takes the session's oldest waiting datagram. When it decodes as a message,
// hands over its sender, addressee and PDU as new handles and its community as
// the session's one context for received messages, which each message replaces
// (any output may be null), and succeeds; otherwise the datagram is dropped, the
// outputs are untouched and the call fails.
SNMPAPI_STATUS SnmpRecvMsg(HSNMP_SESSION session, LPHSNMP_ENTITY srcEntity, LPHSNMP_ENTITY dstEntity,
                           LPHSNMP_CONTEXT context, LPHSNMP_PDU PDU);

// Hands over the requested parts of a PDU (null outputs are skipped); varbindlist
// receives a new list handle holding a copy of the bindings.
SNMPAPI_STATUS SnmpGetPduData(HSNMP_PDU PDU, smiLPINT PDU_type, smiLPINT32 request_id, smiLPINT error_status,
                              smiLPINT error_index, LPHSNMP_VBL varbindlist);

// Name and value of the binding at a 1-based index. Sub-identifiers and octets
// are descriptors that the stack owns until the list is freed. Fails, outputs
// untouched, for a bad handle or index.
SNMPAPI_STATUS SnmpGetVb(HSNMP_VBL vbl, smiUINT32 index, smiLPOID name, smiLPVALUE value);

SNMPAPI_STATUS SnmpFreeVbl(HSNMP_VBL vbl);
SNMPAPI_STATUS SnmpFreePdu(HSNMP_PDU PDU);
SNMPAPI_STATUS SnmpFreeEntity(HSNMP_ENTITY hEntity);

}  // namespace vsnmp
