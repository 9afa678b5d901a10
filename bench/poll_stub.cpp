// A poll that answers at once, so cycle_ui times the window's own work in a
// cycle: the rows, the repaints and the status line.
#include "poll/poll.h"

int PollInterface(void *, unsigned int, int)
{
    return 1;
}
