// Makes the system refuse what the stack asks of it (snmp/system.h), and memory,
// for tests of the failure paths. A test program gets this by linking
// refusals.cpp, which stands in for the stack's own system.cpp and replaces the
// program's operator new and delete.
#pragma once

const unsigned REFUSE_STARTUP = 1u;  // Winsock's start-up
const unsigned REFUSE_SEND = 2u;     // sending a datagram
const unsigned REFUSE_THREAD = 4u;   // starting a receiver thread
const unsigned REFUSE_MEMORY = 8u;   // any operator new, on any thread of the program

// Refuses the named operations from now on, until called again with 0.
void SetRefusals(unsigned refusals);
