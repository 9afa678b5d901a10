#include "cfgtool/files.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

void SetStdoutBinary()
{
    _setmode(_fileno(stdout), _O_BINARY);
}
