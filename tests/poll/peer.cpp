#include "tests/poll/peer.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/procstat.h"

namespace {

// Linux paths as this process must open them: under Wine, Z: is the Unix root.
std::string UnixPath(const std::string &path)
{
#ifdef _WIN32
    return "Z:" + path;
#else
    return path;
#endif
}

}  // namespace

bool LoadPingPeer(PingPeer *peer, std::string *reason)
{
    const char *stateFile = getenv("VELLARY_PING_PEER");
    if (!stateFile || !*stateFile) {
        *reason = "no peer namespaces: VELLARY_PING_PEER is unset (ctest sets it up with tests/poll/ping-peer.sh)";
        return false;
    }
    std::ifstream in(stateFile);
    if (!in) {
        *reason = std::string("no peer namespaces: cannot read ") + stateFile;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "skip") {
            *reason = "no peer namespaces: " + value;
            return false;
        }
        if (key == "ns") peer->ns = value;
        else if (key == "peer") peer->peer = value;
        else if (key == "unreachable") peer->unreachable = value;
        else if (key == "hostns") peer->hostns = value;
        else if (key == "hostpeer") peer->hostpeer = value;
        else if (key == "holder") peer->holder = value;
    }
    if (peer->peer.empty() || peer->holder.empty()) {
        *reason = std::string("no peer namespaces: incomplete state in ") + stateFile;
        return false;
    }
    return true;
}

bool IcmpAllowed(std::string *reason)
{
    // Under Wine these are the files of the Linux process that runs us.
    std::ifstream status(UnixPath("/proc/self/status"));
    std::ifstream range(UnixPath("/proc/sys/net/ipv4/ping_group_range"));
    long first = 1, last = 0;
    range >> first >> last;
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "CapEff:") {
            unsigned long long caps = 0;
            fields >> std::hex >> caps;
            if (caps & (1ull << 13))  // CAP_NET_RAW
                return true;
        } else if (key == "Gid:" || key == "Groups:") {
            long gid;
            while (fields >> gid) {
                if (gid >= first && gid <= last)
                    return true;
            }
        }
    }
    *reason = "cannot send ICMP: needs CAP_NET_RAW (root) or a group in net.ipv4.ping_group_range";
    return false;
}

long PeerCounter(const PingPeer &peer, const char *file, const char *group, const char *name)
{
    std::ifstream in(UnixPath("/proc/" + peer.holder + "/net/" + file));
    if (!in)
        return -1;
    // Each group is a line of names followed by a line of values.
    std::string prefix = std::string(group) + ":", names, values;
    while (std::getline(in, names)) {
        if (names.compare(0, prefix.size(), prefix) != 0 || !std::getline(in, values))
            continue;
        std::istringstream n(names.substr(prefix.size())), v(values.substr(prefix.size()));
        std::string key;
        long value;
        while (n >> key && v >> value) {
            if (key == name)
                return value;
        }
    }
    return 0;
}

long OpenHandleCount()
{
    ProcStat stat;
    ReadProcStat(&stat);
    return stat.handles;
}

#ifdef _WIN32
long long HeapBytesInUse()
{
    ProcStat stat;
    ReadProcStat(&stat);
    return stat.heapBytes;
}
#endif

std::wstring Widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}
