#include "cfgtool/files.h"

// POSIX streams are binary already.
void SetStdoutBinary() {}
