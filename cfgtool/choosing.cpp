#include "cfgtool/choosing.h"

#include <cstring>

#include "cfgtool/messages.h"

namespace {

struct TypeInfo {
    int ifType;
    const char *name;
    Kind kind;
};

// The IANAifType numbers an administrator meets most, and every kind that is
// a port on the device's front: Ethernet and its older numbers, the other LAN
// and WAN media, DSL, cable and radio, then the fibre and SONET kinds. Tunnels,
// VLANs, aggregates, virtual and other logical interfaces are the rest.
const TypeInfo kTypes[] = {
    {1, "other", KIND_OTHER},
    {6, "ethernetCsmacd", KIND_PHYSICAL},
    {7, "iso88023Csmacd", KIND_PHYSICAL},
    {9, "iso88025TokenRing", KIND_PHYSICAL},
    {15, "fddi", KIND_PHYSICAL},
    {18, "ds1", KIND_PHYSICAL},
    {19, "e1", KIND_PHYSICAL},
    {20, "basicISDN", KIND_PHYSICAL},
    {21, "primaryISDN", KIND_PHYSICAL},
    {22, "propPointToPointSerial", KIND_PHYSICAL},
    {23, "ppp", KIND_OTHER},
    {24, "softwareLoopback", KIND_LOOPBACK},
    {30, "ds3", KIND_PHYSICAL},
    {32, "frameRelay", KIND_OTHER},
    {37, "atm", KIND_PHYSICAL},
    {39, "sonet", KIND_PHYSICAL},
    {46, "hssi", KIND_PHYSICAL},
    {50, "sonetPath", KIND_PHYSICAL},
    {51, "sonetVT", KIND_PHYSICAL},
    {53, "propVirtual", KIND_OTHER},
    {56, "fibreChannel", KIND_PHYSICAL},
    {62, "fastEther", KIND_PHYSICAL},
    {69, "fastEtherFX", KIND_PHYSICAL},
    {71, "ieee80211", KIND_PHYSICAL},
    {94, "adsl", KIND_PHYSICAL},
    {96, "sdsl", KIND_PHYSICAL},
    {97, "vdsl", KIND_PHYSICAL},
    {117, "gigabitEthernet", KIND_PHYSICAL},
    {127, "docsCableMaclayer", KIND_PHYSICAL},
    {128, "docsCableDownstream", KIND_PHYSICAL},
    {129, "docsCableUpstream", KIND_PHYSICAL},
    {131, "tunnel", KIND_OTHER},
    {134, "atmSubInterface", KIND_OTHER},
    {135, "l2vlan", KIND_OTHER},
    {136, "l3ipvlan", KIND_OTHER},
    {142, "ipForward", KIND_OTHER},
    {161, "ieee8023adLag", KIND_OTHER},
    {166, "mpls", KIND_OTHER},
    {169, "shdsl", KIND_PHYSICAL},
    {195, "opticalChannel", KIND_PHYSICAL},
    {196, "opticalTransport", KIND_PHYSICAL},
    {209, "bridge", KIND_OTHER},
    {230, "adsl2", KIND_PHYSICAL},
    {238, "adsl2plus", KIND_PHYSICAL},
    {250, "gpon", KIND_PHYSICAL},
    {251, "vdsl2", KIND_PHYSICAL},
};

const TypeInfo *FindType(int ifType)
{
    for (const TypeInfo &t : kTypes)
        if (t.ifType == ifType)
            return &t;
    return nullptr;
}

bool SameText(const Table &table, uint32_t at, uint32_t len, const char *text)
{
    // Some agents send C strings: the text ends at a NUL, as the line's name does.
    const char *octets = TextAt(table, at);
    const void *nul = memchr(octets, 0, len);
    if (nul)
        len = static_cast<uint32_t>(static_cast<const char *>(nul) - octets);
    return len == strlen(text) && memcmp(octets, text, len) == 0;
}

// ifIndex of a text of decimal digits that fits 32 bits, else 0.
uint32_t IndexOf(const char *text)
{
    uint64_t value = 0;
    for (const char *p = text; *p; p++) {
        if (*p < '0' || *p > '9' || p - text >= 10)
            return 0;
        value = value * 10 + static_cast<uint64_t>(*p - '0');
    }
    return value <= UINT32_MAX ? static_cast<uint32_t>(value) : 0;
}

enum Match { kByName, kByDescr, kByIndex };

// The rows that a name matches in one way: *first is the first, and the count is returned.
int Matches(const Table &table, const char *name, Match how, int *first)
{
    uint32_t index = how == kByIndex ? IndexOf(name) : 0;
    int found = 0;
    for (size_t r = 0; r < table.rows.size(); r++) {
        const Row &row = table.rows[r];
        bool match = how == kByName    ? row.hasName && SameText(table, row.nameAt, row.nameLen, name)
                     : how == kByDescr ? SameText(table, row.descrAt, row.descrLen, name)
                                       : index != 0 && row.ifIndex == index;
        if (match && found++ == 0)
            *first = static_cast<int>(r);
    }
    return found;
}

}  // namespace

Kind KindOf(int ifType)
{
    const TypeInfo *t = FindType(ifType);
    return t ? t->kind : KIND_OTHER;
}

const char *TypeName(int ifType)
{
    const TypeInfo *t = FindType(ifType);
    return t ? t->name : nullptr;
}

void RowName(const Table &table, const Row &row, char name[CFG_NAME_WIDTH + 1])
{
    // ifName is the short name the device's own console uses and unique on the
    // device, where ifDescr is often a product name that ports share, and cut
    // to 15 characters often all alike.
    CleanName(reinterpret_cast<const uint8_t *>(TextAt(table, row.nameAt)), row.hasName ? row.nameLen : 0, name);
    if (name[0] == '\0')
        CleanName(reinterpret_cast<const uint8_t *>(TextAt(table, row.descrAt)), row.descrLen, name);
}

int ChooseDefault(const Table &table, const char *host, int chosen[WALK_MAX_LINES], int *count, FILE *err)
{
    // Ports first, since they carry the traffic a user comes for; internal
    // interfaces often hold the low indices. The loopback, which matters least,
    // is the first left out past ten.
    char leftOut[600] = "";
    size_t leftLen = 0;
    int left = 0, listed = 0;
    *count = 0;
    for (int kind = KIND_PHYSICAL; kind <= KIND_LOOPBACK; kind++) {
        for (size_t r = 0; r < table.rows.size(); r++) {
            const Row &row = table.rows[r];
            if (row.operStatus != OPER_STATUS_UP || KindOf(row.ifType) != kind)
                continue;
            if (*count < WALK_MAX_LINES) {
                chosen[(*count)++] = static_cast<int>(r);
                continue;
            }
            left++;
            if (listed < left - 1)
                continue;  // the note is full
            char name[CFG_NAME_WIDTH + 1];
            RowName(table, row, name);
            int n = snprintf(leftOut + leftLen, sizeof leftOut - leftLen, "%s%s (ifIndex %lu)", left > 1 ? ", " : "",
                             name, static_cast<unsigned long>(row.ifIndex));
            if (n > 0 && static_cast<size_t>(n) < sizeof leftOut - leftLen) {
                leftLen += static_cast<size_t>(n);
                listed++;
            } else {
                leftOut[leftLen] = '\0';
            }
        }
    }
    if (*count == 0)
        return Fail(err,
                    "vellary-cfg: none of the %lu interfaces of the agent at %s is up (ifOperStatus): check the "
                    "device's links\n",
                    static_cast<unsigned long>(table.rows.size()), host);
    if (left > listed)
        Note(err,
             "vellary-cfg: %d interfaces are up and vellary.cfg holds ten; left out: %s and %d more (vellary-cfg "
             "--list shows them all)\n",
             *count + left, leftOut, left - listed);
    else if (left > 0)
        Note(err, "vellary-cfg: %d interfaces are up and vellary.cfg holds ten; left out: %s\n", *count + left, leftOut);
    return 0;
}

int ChooseNamed(const Table &table, const char *const *names, int nameCount, int chosen[WALK_MAX_LINES], FILE *err)
{
    for (int k = 0; k < nameCount; k++) {
        int found = 0, first = -1;
        Match how = kByName;
        for (int way = kByName; way <= kByIndex && found == 0; way++) {
            how = static_cast<Match>(way);
            found = Matches(table, names[k], how, &first);
        }
        if (found == 0)
            return Fail(err,
                        "vellary-cfg: no interface has the name, description or index \"%s\": vellary-cfg --list "
                        "shows them all\n",
                        names[k]);
        if (found > 1)
            return Fail(err,
                        "vellary-cfg: %d interfaces have the %s \"%s\": name the one you mean by its ifIndex "
                        "(vellary-cfg --list shows them all)\n",
                        found, how == kByName ? "name" : "description", names[k]);
        for (int j = 0; j < k; j++)
            if (chosen[j] == first)
                return Fail(err, "vellary-cfg: \"%s\" names an interface named before it: name each once\n",
                            names[k]);
        chosen[k] = first;
    }
    return 0;
}
