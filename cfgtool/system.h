// What the walker takes from the system that tests replace: the pause between
// the tries of a request, and the ping. Tests link a file of their own in place
// of system.cpp.
#pragma once

// Milliseconds between two tries of one request, and the wait after the last.
int TryIntervalMs();

// 1 when the device at host (dotted-decimal IPv4) answers one ping, else 0.
int AnswersPing(const char *host);
