#include "cfgtool/stdout.h"

// POSIX streams are binary already.
void SetStdoutBinary() {}
