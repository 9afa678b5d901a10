#include "cfgtool/cfgline.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "records/historyname.h"

namespace {

// The words that start interface names on most network devices, and the short
// forms their consoles print; the long forms leave no room in 15 characters
// for the numbers that tell ports apart.
const struct {
    const char *word;
    const char *shortForm;
} kShortForms[] = {
    {"Ethernet", "Eth"},
    {"FastEthernet", "Fa"},
    {"GigabitEthernet", "Gi"},
    {"TwoGigabitEthernet", "Tw"},
    {"FiveGigabitEthernet", "Fi"},
    {"TenGigabitEthernet", "Te"},
    {"TenGigE", "Te"},
    {"Ten-GigabitEthernet", "XGE"},
    {"XGigabitEthernet", "XGE"},
    {"TwentyFiveGigE", "Twe"},
    {"FortyGigabitEthernet", "Fo"},
    {"FortyGigE", "Fo"},
    {"HundredGigabitEthernet", "Hu"},
    {"HundredGigE", "Hu"},
    {"FourHundredGigE", "FH"},
    {"AppGigabitEthernet", "Ap"},
    {"M-GigabitEthernet", "MGE"},
    {"MgmtEth", "Mg"},
    {"Management", "Ma"},
    {"Port-channel", "Po"},
    {"Bundle-Ether", "BE"},
    {"Bridge-Aggregation", "BAGG"},
    {"Route-Aggregation", "RAGG"},
    {"Vlan", "Vl"},
    {"Loopback", "Lo"},
    {"Tunnel", "Tu"},
    {"Serial", "Se"},
    {"Dialer", "Di"},
    {"Multilink", "Mu"},
    {"Virtual-Access", "Vi"},
    {"Virtual-Template", "Vt"},
};

char CleanChar(uint8_t c)
{
    if (c == ',' || c < 0x20 || c == 0x7F)
        return ' ';
    if (c >= 0x80)
        return '_';
    return IsFileNameChar(c) ? static_cast<char>(c) : '-';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const char *a, const char *b)
{
    for (; *a && Lower(*a) == Lower(*b); a++, b++) {
    }
    return Lower(*a) == Lower(*b);
}

bool Taken(const char *name, const char (*taken)[CFG_NAME_WIDTH + 1], int count)
{
    if (!IsUsableHistoryName(name, strlen(name)))
        return true;
    for (int k = 0; k < count; k++)
        if (SameName(name, taken[k]))
            return true;
    return false;
}

// The short form for the word that octets[0..len) start with, with *skip set
// to the octets it stands for (and the blanks after it), or nullptr. A digit
// must follow, so "Ethernet adapter" or "Loopback Pseudo-Interface 1" keep
// their words.
const char *ShortForm(const uint8_t *octets, size_t len, size_t *skip)
{
    for (const auto &f : kShortForms) {
        size_t n = strlen(f.word);
        size_t k = 0;
        while (k < n && k < len && Lower(static_cast<char>(octets[k])) == Lower(f.word[k]))
            k++;
        if (k < n)
            continue;
        while (k < len && octets[k] == ' ')
            k++;
        if (k < len && octets[k] >= '0' && octets[k] <= '9') {
            *skip = k;
            return f.shortForm;
        }
    }
    return nullptr;
}

}  // namespace

void CleanName(const uint8_t *octets, size_t len, char name[CFG_NAME_WIDTH + 1])
{
    const void *nul = memchr(octets, 0, len);
    if (nul)
        len = static_cast<size_t>(static_cast<const uint8_t *>(nul) - octets);
    size_t start = 0;
    while (start < len && CleanChar(octets[start]) == ' ')
        start++;
    size_t n = 0, skip = 0;
    if (const char *shortForm = ShortForm(octets + start, len - start, &skip)) {
        n = strlen(shortForm);
        memcpy(name, shortForm, n);
        start += skip;
    }
    for (size_t k = start; k < len && n < CFG_NAME_WIDTH; k++)
        name[n++] = CleanChar(octets[k]);
    while (n > 0 && name[n - 1] == ' ')
        n--;
    name[n] = '\0';
}

void MakeUniqueName(char name[CFG_NAME_WIDTH + 1], uint32_t ifIndex, const char (*taken)[CFG_NAME_WIDTH + 1],
                    int count)
{
    if (name[0] == '\0')
        snprintf(name, CFG_NAME_WIDTH + 1, "if%" PRIu32, ifIndex);
    // A suffix cannot help where the part before a dot is what Windows keeps.
    char *dot = strchr(name, '.');
    if (dot && !IsUsableHistoryName(name, strlen(name)))
        *dot = '_';
    char stem[CFG_NAME_WIDTH + 1];
    memcpy(stem, name, sizeof stem);
    // "#" and the index, then "#" the index "-2", "-3", ...: at most count + 1
    // tries, since each earlier name rules out at most one.
    for (int attempt = 1; Taken(name, taken, count); attempt++) {
        char suffix[24];
        int n = attempt == 1 ? snprintf(suffix, sizeof suffix, "#%" PRIu32, ifIndex)
                             : snprintf(suffix, sizeof suffix, "#%" PRIu32 "-%d", ifIndex, attempt);
        size_t keep = strlen(stem);
        if (keep > CFG_NAME_WIDTH - static_cast<size_t>(n))
            keep = CFG_NAME_WIDTH - static_cast<size_t>(n);
        memcpy(name, stem, keep);
        memcpy(name + keep, suffix, static_cast<size_t>(n) + 1);
    }
}

int64_t ChooseSpeed(int hasSpeed, uint32_t ifSpeed, int hasHighSpeed, uint32_t highSpeed)
{
    // ifHighSpeed is rounded to whole Mbit/s (a 1.544 Mbit/s line reads 2, a
    // 64 kbit/s one 0), so the exact ifSpeed wins wherever it is not saturated.
    if (hasSpeed && ifSpeed > 0 && ifSpeed < UINT32_MAX)
        return ifSpeed;
    if (hasHighSpeed && highSpeed > 0) {
        int64_t speed = static_cast<int64_t>(highSpeed) * 1000000;
        return speed < CFG_SPEED_MAX ? speed : CFG_SPEED_MAX;
    }
    return hasSpeed ? ifSpeed : 0;
}

void CounterOids(uint32_t ifIndex, int hc, char *oidIn, char *oidOut)
{
    // The longest, with a 10-digit index, has 33 characters.
    const char *in = hc ? CFG_HC_IN_OID : "1.3.6.1.2.1.2.2.1.10";
    const char *out = hc ? CFG_HC_OUT_OID : "1.3.6.1.2.1.2.2.1.16";
    snprintf(oidIn, 41, "%s.%" PRIu32, in, ifIndex);
    snprintf(oidOut, 41, "%s.%" PRIu32, out, ifIndex);
}

size_t FormatLine(char *buf, size_t cap, const char *name, const char *host, const char *community,
                  int64_t speed, const char *oidIn, const char *oidOut)
{
    // CR LF on every build: the reader takes it as one line break either way.
    int n = snprintf(buf, cap, "%s,%s,%s,%" PRId64 ",%s,%s,\r\n", name, host, community, speed, oidIn, oidOut);
    return n > 0 && static_cast<size_t>(n) < cap ? static_cast<size_t>(n) : 0;
}
