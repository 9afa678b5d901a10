// How text from our files reads as characters: as UTF-8 where it is valid
// UTF-8, and otherwise one character per byte, as 8-bit text always read.
#pragma once

#include <cstddef>
#include <cstdint>

// Whether the n bytes at text are valid UTF-8: shortest forms only, no
// surrogates, nothing above U+10FFFF. ASCII is.
bool IsValidUtf8(const char *text, size_t n);

// Widens the n bytes at text into wide (UTF-16 where wchar_t has 16 bits):
// decoded as UTF-8 when they are valid UTF-8, else each byte the character of
// its value. Takes at most maxChars characters, and never part of one, nor
// more than cap - 1 units; terminates wide (cap above 0). Returns the units.
size_t WidenText(const char *text, size_t n, wchar_t *wide, size_t cap, size_t maxChars);
