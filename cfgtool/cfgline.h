// Turning what an agent says of an interface into one vellary.cfg line: pure
// steps, no network.
#pragma once

#include <cstddef>
#include <cstdint>

#define CFG_NAME_WIDTH 15                       // characters of the name field
#define CFG_SPEED_MAX INT64_C(999999999999)     // the most the 12-character speed field holds
#define CFG_LINE_MAX 160                        // one line with its CR LF, with room to spare

// The ifXTable's 64-bit octet counters, ifHCInOctets and ifHCOutOctets.
#define CFG_HC_IN_OID "1.3.6.1.2.1.31.1.1.1.6"
#define CFG_HC_OUT_OID "1.3.6.1.2.1.31.1.1.1.10"

// Makes a name for the name field from an agent's octets. The text ends at the
// first NUL (some agents send C strings). A well-known interface word at the
// start, in any case and followed by a digit (blanks between are dropped),
// becomes its short form: "GigabitEthernet1/0/24" reads "Gi1-0-24". Commas and
// control characters (CR, LF, Ctrl-Z, TAB, ...) become spaces, since each
// would end or shift a field; the characters Windows refuses in file names
// (\ / : * ? " < > |) become '-' and bytes outside ASCII '_', since the name is
// also the stem of the history file. Spaces are trimmed from both ends, before
// and after the cut to 15 characters. The result is terminated and may be
// empty.
void CleanName(const uint8_t *octets, size_t len, char name[CFG_NAME_WIDTH + 1]);

// Makes name, as CleanName leaves it, differ from the count names before it,
// ignoring case as Windows file names do, and from the names Windows keeps for
// devices (IsUsableFileStem: NUL, "COM1.x", "NUL .1", ...; a dot after one
// becomes '_'): a clash ends the name in "#" and the interface's index, and
// while that still clashes in "#", the index, "-" and 2, 3, ..., so two
// interfaces never share a history file. An empty name becomes "if" and the
// index.
void MakeUniqueName(char name[CFG_NAME_WIDTH + 1], uint32_t ifIndex, const char (*taken)[CFG_NAME_WIDTH + 1],
                    int count);

// The link speed for a line, in bit/s. ifSpeed where it is exact: above 0 and
// below its ceiling of 4294967295. Otherwise ifHighSpeed (whole Mbit/s) times
// 1,000,000 where the agent has it above 0, and failing that ifSpeed as it is.
// At most CFG_SPEED_MAX, so it always fits its field.
int64_t ChooseSpeed(int hasSpeed, uint32_t ifSpeed, int hasHighSpeed, uint32_t highSpeed);

// The in and out octet counters of interface ifIndex: the 64-bit ifXTable
// objects when hc is 1, else the ifTable's 32-bit ones. Each buffer takes 41.
void CounterOids(uint32_t ifIndex, int hc, char *oidIn, char *oidOut);

// Prints one line: the six fields, each followed by a comma, then CR LF.
// Returns its length, or 0 when it does not fit in cap.
size_t FormatLine(char *buf, size_t cap, const char *name, const char *host, const char *community,
                  int64_t speed, const char *oidIn, const char *oidOut);
