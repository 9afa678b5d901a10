#include "tests/poll/peer.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#include <winternl.h>

#include <vector>
#else
#include <filesystem>
#endif

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

#ifdef _WIN32
namespace {

// SystemExtendedHandleInformation: every handle of every process.
const int kSystemExtendedHandleInformation = 64;

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
};

struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

}  // namespace

// Wine's GetProcessHandleCount always says 0, so the system's handle table is
// counted instead; Windows gives the same answer either way.
long OpenHandleCount()
{
    std::vector<unsigned char> buffer(1 << 20);
    ULONG cbNeeded = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(kSystemExtendedHandleInformation),
                                              buffer.data(), static_cast<ULONG>(buffer.size()), &cbNeeded)) ==
           static_cast<NTSTATUS>(0xC0000004L))  // STATUS_INFO_LENGTH_MISMATCH
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    const auto *table = reinterpret_cast<const HandleTable *>(buffer.data());
    long count = 0;
    for (ULONG_PTR i = 0; i < table->count; i++) {
        if (table->entries[i].processId == GetCurrentProcessId())
            count++;
    }
    return count;
}

long long HeapBytesInUse()
{
    HANDLE heaps[64];
    DWORD cHeaps = GetProcessHeaps(64, heaps);
    long long total = 0;
    for (DWORD i = 0; i < cHeaps && i < 64; i++) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return total;
}
#else
long OpenHandleCount()
{
    long count = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        count++;
    }
    return count;
}
#endif

std::wstring Widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}
