// Choosing the interfaces that get a line: the ones named, or by default the
// ones that are up, the physical kinds first and the loopback last.
#pragma once

#include <cstdio>

#include "cfgtool/cfgline.h"
#include "cfgtool/collecting.h"

// What ifType says of an interface's kind, for the default pick and the list.
enum Kind { KIND_PHYSICAL, KIND_OTHER, KIND_LOOPBACK };
Kind KindOf(int ifType);

// The name of an ifType ("ethernetCsmacd"), or nullptr for one not known here.
const char *TypeName(int ifType);

// The name for a row's line: its ifName where it has a non-empty one, else its
// ifDescr, cleaned (CleanName); may be empty.
void RowName(const Table &table, const Row &row, char name[CFG_NAME_WIDTH + 1]);

// The default pick: the interfaces that are up, physical kinds, then the other
// kinds, then loopbacks, each group in ifIndex order; at most WALK_MAX_LINES,
// with a note on err naming those left out. Sets chosen[0..*count) to indices
// into table.rows. Returns 0, or 1 after a message when none is up.
int ChooseDefault(const Table &table, const char *host, int chosen[WALK_MAX_LINES], int *count, FILE *err);

// The named interfaces, in the order given: each name is an ifName, else an
// ifDescr, else an ifIndex; at most WALK_MAX_LINES. Returns 0, or 1 after a
// message on err for a name that matches no interface or several, or one that
// names an interface named before.
int ChooseNamed(const Table &table, const char *const *names, int nameCount, int chosen[WALK_MAX_LINES], FILE *err);
