// The SNMPv3 users of "vellary-v3.cfg", one a line under a label:
//   LABEL,USER,AUTH,AUTHPASS,PRIV,PRIVPASS
// A vellary.cfg record whose community field equals a label is polled as that
// user; a record naming a bad line's label is not polled at all, so a label is
// never sent as a community.
#pragma once

#include <cstddef>

#include "snmp/usm.h"

#define V3_CONFIG_FILE_NAME "vellary-v3.cfg"
#define V3_CONFIG_MAX_CHARS 16384  // far beyond MAX_V3_USERS lines of the longest fields
#define MAX_V3_USERS 32
#define V3_LABEL_CHARS 10      // the width of a record's community field
#define V3_USER_NAME_CHARS 32  // the most a user name may have
#define V3_PASSWORD_CHARS 128
#define V3_PASSWORD_MIN 8  // what net-snmp asks too
#define V3_ERRORS_CHARS 2048

struct V3User {
    char label[V3_LABEL_CHARS + 1];
    char userName[V3_USER_NAME_CHARS + 1];
    vsnmp::usm::AuthProtocol auth;
    char authPassword[V3_PASSWORD_CHARS + 1];
    vsnmp::usm::PrivProtocol priv;
    char privPassword[V3_PASSWORD_CHARS + 1];
    int valid;  // 0 for a bad line: only its label is known
};

extern V3User g_v3Users[MAX_V3_USERS];
extern int g_v3UserCount;
// Set when the file exists but could not be read whole: then no label is known,
// and no record is polled.
extern int g_v3Unreadable;

// Scans n characters of the file's text (LF line breaks) into users[0..cap).
// Empty lines are skipped; every other line becomes a user, valid or not, while
// there is room. What is wrong with each bad line goes into errors (a zero-ended
// text of at most errorsCap bytes, one line each, naming the file's line number
// and never a password). Returns the number of users; *whole is 0 when lines
// were left over for want of room.
int ScanV3Users(const char *data, size_t n, V3User *users, int cap, char *errors, size_t errorsCap, int *whole);

// Reads vellary-v3.cfg from the working directory into g_v3Users, when there is
// one; what is wrong with it goes into errors (zero-ended, empty when nothing is).
// Without the file, no users.
void ReadV3Users(char *errors, size_t errorsCap);

// ReadV3Users, then what is wrong in one message box.
void LoadV3Users();

// The user whose label equals community, valid or not (an invalid one for every
// community while g_v3Unreadable); nullptr when it is no label.
const V3User *FindV3User(const char *community);
