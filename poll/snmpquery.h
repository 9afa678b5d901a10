// The blocking SNMP counter query and the reply callback that feeds it.
#pragma once

#include <atomic>
#include <cstdint>

#include "snmp/winsnmp.h"

// The reply slot: 0 until a reply's value arrives. The poll clears it before
// each query; the callback stores (release), the query loads (acquire).
extern std::atomic<int64_t> g_replyValue;

// Reads one numeric object with one SNMP GET (SNMPv2c for the 64-bit counters,
// SNMPv1 for everything else) and waits up to 4200 ms for the reply, whose first
// binding must name that object. Returns 1 with the value in *pCounter and its
// width in *pCounterBits (if given): 64 for a Counter64, 32 for every other
// number, whatever the object. Returns 0 with both untouched.
int SnmpGetCounter(vsnmp::HWND hWnd, unsigned int wMsg, int64_t *pCounter, const char *strDeviceIP,
                   const char *strDeviceCommunity, const char *strOid, int *pCounterBits = nullptr);

vsnmp::SNMPAPI_STATUS SnmpReplyCallback(vsnmp::HSNMP_SESSION hSession, vsnmp::HWND hWnd, vsnmp::UINT wMsg,
                                        vsnmp::WPARAM wParam, vsnmp::LPARAM lParam, vsnmp::LPVOID lpClientData);

// Every wait of the query goes through here: the platform sleep unless a test
// counts the waits instead.
extern void (*g_querySleep)(unsigned int milliseconds);
