// vellary-cfg HOST COMMUNITY: prints vellary.cfg lines for the interfaces of a
// device that are up, read from its SNMP agent.
#include <cstdio>

#include "cfgtool/stdout.h"
#include "cfgtool/walk.h"

int main(int argc, char **argv)
{
    static WalkOutput out;
    int code = RunWalker(argc, argv, &out);
    SetStdoutBinary();
    if (fwrite(out.lines, 1, out.linesLen, stdout) != out.linesLen || fflush(stdout) != 0) {
        // A full disk or a closed pipe must not pass for a written configuration.
        fputs("vellary-cfg: could not write the lines to standard output: check where it goes (disk space, "
              "the file's access rights)\n",
              stderr);
        return 1;
    }
    fputs(out.message, stderr);
    return code;
}
