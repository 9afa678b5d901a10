// The table of monitored interfaces that every part of the monitor shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#define MAX_INTERFACES 10

struct InterfaceRecord {
    char strName[15];
    char strIP[17];
    char strCommunity[10];
    char strOidIn[40];
    char strOidOut[40];
    int64_t linkSpeed;  // read from a 12-character field: up to 999,999,999,999
    int64_t prevInOctets;
    int64_t prevOutOctets;
    int64_t inOctets;
    int64_t outOctets;
    int64_t bpsIn;
    int64_t bpsOut;
    int32_t pctIn;
    int32_t pctOut;
    int32_t firstPoll;
    // Times are milliseconds of the monotonic clock (poll/clock.h): the start of
    // the previous and of the last poll.
    int64_t prevTime;
    int64_t curTime;
    // When the GET of the reading held in prevInOctets / prevOutOctets went out; 0
    // while that direction has none. Rates span the time between two real readings.
    int64_t prevInTime;
    int64_t prevOutTime;
    // 1 when the last poll measured the direction: a rate from two real readings of
    // its counter. A direction without one has no figure, which is never shown or
    // written as 0.
    int32_t measuredIn;
    int32_t measuredOut;
    // What a measured direction's counter grew by and over how many milliseconds
    // (0 and 0 when not measured), for figures more exact than the rate.
    int64_t deltaInOctets;
    int64_t deltaInMs;
    int64_t deltaOutOctets;
    int64_t deltaOutMs;
    int32_t snmpSilent;  // 1 from "SNMP no answer" until an answer comes
    // 1 when the last poll got a new reading of that counter, measured or not (a
    // baseline, a restart): the device answered for it.
    int32_t freshIn;
    int32_t freshOut;
};

extern InterfaceRecord g_interfaces[MAX_INTERFACES];
extern int32_t g_interfaceCount;

// A text field holds its value up to its first zero byte; a value of the full
// width has no zero, so nothing may read past the field's end.
inline size_t FieldLength(const char *field, size_t width)
{
    const void *zero = memchr(field, 0, width);
    return zero ? static_cast<size_t>(static_cast<const char *>(zero) - field) : width;
}

// A field's value as a terminated string, for the calls that want one.
template <size_t W>
struct FieldText {
    char str[W + 1];
};

template <size_t W>
FieldText<W> FieldValue(const char (&field)[W])
{
    FieldText<W> value;
    size_t len = FieldLength(field, W);
    memcpy(value.str, field, len);
    value.str[len] = '\0';
    return value;
}
