#include "cfgtool/system.h"

#include <cstddef>

#include "poll/ping.h"

int TryIntervalMs()
{
    return 1000;
}

int AnswersPing(const char *host)
{
    // An IPv4 text is ASCII, so widening byte by byte is exact; anything longer
    // is no address and fails as one.
    wchar_t wide[32];
    size_t n = 0;
    for (; host[n] && n + 1 < sizeof wide / sizeof wide[0]; n++)
        wide[n] = static_cast<unsigned char>(host[n]);
    wide[n] = L'\0';
    return host[n] ? 0 : PingHost(wide);
}
