// vellary-report [-o FILE]: one HTML page of graphs from the monitor's history files.
#include "report/report.h"

int main(int argc, char **argv)
{
    return RunReport(argc, argv);
}
