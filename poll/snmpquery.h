// The blocking SNMP counter query and the reply callback that feeds it.
#pragma once

#include <atomic>
#include <cstdint>

#include "poll/target.h"
#include "snmp/winsnmp.h"

// The reply slot: 0 until a reply's value arrives. The poll clears it before
// each query; the callback stores (release), the query loads (acquire).
extern std::atomic<int64_t> g_replyValue;

// Reads one numeric object with one GET and waits up to 4200 ms for the reply,
// whose first binding must name that object. Returns 1 with the value in *pValue,
// its width in *pBits (if given): 64 for a Counter64, 32 for every other number,
// whatever the object; and in *pSentMs (if given) the monotonic time at which
// the GET went out. Returns 0 with all three untouched; at once, sending
// nothing, for a bad line's user.
int SnmpGetObject(vsnmp::HWND hWnd, unsigned int wMsg, const SnmpTarget &target, const SnmpObject &object,
                  int64_t *pValue, int *pBits = nullptr, int64_t *pSentMs = nullptr);

// SnmpGetObject with the target and object resolved for this one query.
int SnmpGetCounter(vsnmp::HWND hWnd, unsigned int wMsg, int64_t *pCounter, const char *strDeviceIP,
                   const char *strDeviceCommunity, const char *strOid, int *pCounterBits = nullptr);

vsnmp::SNMPAPI_STATUS SnmpReplyCallback(vsnmp::HSNMP_SESSION hSession, vsnmp::HWND hWnd, vsnmp::UINT wMsg,
                                        vsnmp::WPARAM wParam, vsnmp::LPARAM lParam, vsnmp::LPVOID lpClientData);

// Every wait of the query: the platform sleep (sleep.cpp). Tests link a twin
// that counts the waits, or ends them when the reply is in.
void QuerySleep(unsigned int milliseconds);
