// vellary-cfg: writes vellary.cfg lines for the interfaces of a device, read
// from its SNMP agent, or lists them all.
#include <cstdio>

#include "cfgtool/files.h"
#include "cfgtool/walk.h"

int main(int argc, char **argv)
{
    SetStdoutBinary();
    return RunWalker(argc, argv, stdout, stderr);
}
