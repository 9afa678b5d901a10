// The reader of vellary-v3.cfg: comma-separated fields, a field in double quotes
// may hold commas and "" for a quote. Every line is checked whole at start-up, so
// a mistake is reported once, then and there, and never as a failed poll.
#include "config/v3users.h"

#include <cstdio>
#include <cstring>

#include "config/msgbox.h"
#include "config/textfile.h"

V3User g_v3Users[MAX_V3_USERS];
int g_v3UserCount;
int g_v3Unreadable;

namespace {

const int kFields = 6;
const size_t kFieldChars = 256;  // longer than any field may be, so a longer one is still seen as such

struct Line {
    char field[kFields][kFieldChars + 1];
    size_t length[kFields];
    int count;  // fields found, past kFields too
};

// Splits one line (without its line break) into fields. Returns nullptr, or what
// is wrong with the quoting.
const char *SplitLine(const char *p, const char *end, Line *line)
{
    memset(line, 0, sizeof *line);
    while (true) {
        int f = line->count++;
        char scratch[kFieldChars + 1];
        char *out = f < kFields ? line->field[f] : scratch;
        size_t len = 0;
        bool zero = false;
        auto put = [&](char c) {
            zero = zero || c == '\0';
            if (len < kFieldChars)
                out[len] = c;
            len++;
        };
        if (p < end && *p == '"') {
            for (p++;; p++) {
                if (p == end)
                    return "a quote is not closed";
                if (*p == '"') {
                    if (p + 1 < end && p[1] == '"') {
                        put('"');
                        p++;
                        continue;
                    }
                    p++;
                    break;
                }
                put(*p);
            }
            if (p < end && *p != ',')
                return "text follows a closing quote";
        } else {
            for (; p < end && *p != ','; p++)
                put(*p);
        }
        // A zero byte would end the text early wherever it is used.
        if (zero)
            return "a field holds a zero byte";
        if (f < kFields)
            line->length[f] = len;
        if (p == end)
            return nullptr;
        p++;  // the comma
    }
}

// Protocol names in any case, as net-snmp's tools take them.
// Copies a field cut to the destination's capacity: its length was checked,
// except for the label of a bad line, whose first characters are all a record can hold.
void CopyField(char *dest, size_t cap, const char *field)
{
    size_t len = strnlen(field, cap - 1);
    memcpy(dest, field, len);
    dest[len] = '\0';
}

bool IsName(const char *text, const char *name)
{
    for (; *text && *name; text++, name++) {
        char a = *text >= 'a' && *text <= 'z' ? static_cast<char>(*text - 'a' + 'A') : *text;
        if (a != *name)
            return false;
    }
    return *text == *name;
}

// A protocol's names: the spellings net-snmp's tools take too.
template <typename Protocol>
struct ProtocolName {
    const char *name;
    Protocol protocol;
};

template <typename Protocol, size_t N>
bool FindProtocol(const char *name, const ProtocolName<Protocol> (&names)[N], Protocol *protocol)
{
    for (const auto &entry : names) {
        if (IsName(name, entry.name)) {
            *protocol = entry.protocol;
            return true;
        }
    }
    return false;
}

// The protocol a name gives, or what is wrong with it.
const char *AuthFromName(const char *name, vsnmp::usm::AuthProtocol *auth)
{
    using namespace vsnmp::usm;
    static const ProtocolName<AuthProtocol> kNames[] = {
        {"MD5", AUTH_MD5},       {"SHA", AUTH_SHA1},        {"SHA1", AUTH_SHA1},       {"SHA-1", AUTH_SHA1},
        {"SHA-256", AUTH_SHA256}, {"SHA256", AUTH_SHA256},  {"SHA-384", AUTH_SHA384}, {"SHA384", AUTH_SHA384},
        {"SHA-512", AUTH_SHA512}, {"SHA512", AUTH_SHA512}};
    if (FindProtocol(name, kNames, auth))
        return nullptr;
    if (IsName(name, "SHA-224") || IsName(name, "SHA224"))
        return "SHA-224 is not offered (Windows' cryptography has none): use SHA-256, SHA-384 or SHA-512";
    return "unknown authentication protocol: use MD5, SHA, SHA-256, SHA-384 or SHA-512";
}

const char *PrivFromName(const char *name, vsnmp::usm::PrivProtocol *priv)
{
    using namespace vsnmp::usm;
    static const ProtocolName<PrivProtocol> kNames[] = {
        {"AES", PRIV_AES128},       {"AES-128", PRIV_AES128},   {"AES128", PRIV_AES128},   {"AES-192", PRIV_AES192},
        {"AES192", PRIV_AES192},    {"AES-256", PRIV_AES256},   {"AES256", PRIV_AES256},   {"AES-192C", PRIV_AES192C},
        {"AES-192-C", PRIV_AES192C}, {"AES192C", PRIV_AES192C}, {"AES-256C", PRIV_AES256C}, {"AES-256-C", PRIV_AES256C},
        {"AES256C", PRIV_AES256C}};
    if (FindProtocol(name, kNames, priv))
        return nullptr;
    if (IsName(name, "DES") || IsName(name, "3DES"))
        return "DES is refused: it is a broken 56-bit cipher; use AES";
    return "unknown privacy protocol: use AES, AES-192, AES-256, AES-192C or AES-256C";
}

const char *CheckPassword(const Line &line, int f, const char *what)
{
    static char problem[96];
    if (line.length[f] == 0)
        snprintf(problem, sizeof problem, "empty %s password", what);
    else if (line.length[f] < V3_PASSWORD_MIN)
        snprintf(problem, sizeof problem, "%s password shorter than %d characters", what, V3_PASSWORD_MIN);
    else if (line.length[f] > V3_PASSWORD_CHARS)
        snprintf(problem, sizeof problem, "%s password longer than %d characters", what, V3_PASSWORD_CHARS);
    else
        return nullptr;
    return problem;
}

// Fills user from a line's fields; returns nullptr, or what is wrong. The label
// is stored first, whatever else is wrong, so its records can be held back.
const char *ParseUser(const Line &line, const V3User *earlier, int earlierCount, V3User *user)
{
    static char problem[128];
    memset(user, 0, sizeof *user);
    CopyField(user->label, sizeof user->label, line.field[0]);
    if (line.count != kFields) {
        snprintf(problem, sizeof problem, "%d fields where LABEL,USER,AUTH,AUTHPASS,PRIV,PRIVPASS are 6",
                 line.count);
        return problem;
    }
    if (line.length[0] == 0)
        return "empty label";
    if (line.length[0] > V3_LABEL_CHARS) {
        snprintf(problem, sizeof problem, "label longer than %d characters, the width of the community field",
                 V3_LABEL_CHARS);
        return problem;
    }
    for (int k = 0; k < earlierCount; k++) {
        if (strcmp(earlier[k].label, user->label) == 0) {
            snprintf(problem, sizeof problem, "label %s is used twice", user->label);
            return problem;
        }
    }
    if (line.length[1] == 0)
        return "empty user name";
    if (line.length[1] > V3_USER_NAME_CHARS) {
        snprintf(problem, sizeof problem, "user name longer than %d characters", V3_USER_NAME_CHARS);
        return problem;
    }
    CopyField(user->userName, sizeof user->userName, line.field[1]);

    const char *wrong = nullptr;
    bool hasAuth = line.length[2] > 0, hasPriv = line.length[4] > 0;
    if (!hasAuth && line.length[3] > 0)
        return "an authentication password without its protocol";
    if (!hasPriv && line.length[5] > 0)
        return "a privacy password without its protocol";
    if (hasAuth && ((wrong = AuthFromName(line.field[2], &user->auth)) || (wrong = CheckPassword(line, 3, "authentication"))))
        return wrong;
    if (hasPriv && ((wrong = PrivFromName(line.field[4], &user->priv)) || (wrong = CheckPassword(line, 5, "privacy"))))
        return wrong;
    if (hasPriv && !hasAuth)
        return "privacy needs authentication too";
    CopyField(user->authPassword, sizeof user->authPassword, line.field[3]);
    CopyField(user->privPassword, sizeof user->privPassword, line.field[5]);
    user->valid = 1;
    return nullptr;
}

void AppendError(char *errors, size_t errorsCap, int lineNumber, const char *problem)
{
    size_t used = strlen(errors);
    if (used + 1 >= errorsCap)
        return;
    snprintf(errors + used, errorsCap - used, "%s%s line %d: %s", used ? "\n" : "", V3_CONFIG_FILE_NAME, lineNumber,
             problem);
}

}  // namespace

int ScanV3Users(const char *data, size_t n, V3User *users, int cap, char *errors, size_t errorsCap, int *whole)
{
    if (errorsCap > 0)
        errors[0] = '\0';
    *whole = 1;
    int count = 0;
    int lineNumber = 0;
    Line line;
    for (const char *p = data, *end = data + n; p < end;) {
        const char *eol = static_cast<const char *>(memchr(p, '\n', static_cast<size_t>(end - p)));
        const char *lineEnd = eol ? eol : end;
        lineNumber++;
        if (lineEnd > p) {
            if (count == cap) {
                AppendError(errors, errorsCap, lineNumber, "more users than this file may hold");
                *whole = 0;
                break;
            }
            V3User *user = &users[count++];
            const char *problem = SplitLine(p, lineEnd, &line);
            if (problem) {
                memset(user, 0, sizeof *user);
                CopyField(user->label, sizeof user->label, line.field[0]);
            } else {
                problem = ParseUser(line, users, count - 1, user);
            }
            if (problem)
                AppendError(errors, errorsCap, lineNumber, problem);
        }
        p = eol ? eol + 1 : end;
    }
    memset(&line, 0, sizeof line);  // no password left behind
    return count;
}

void ReadV3Users(char *errors, size_t errorsCap)
{
    g_v3UserCount = 0;
    g_v3Unreadable = 0;
    errors[0] = '\0';
    // One character more than may be there, to tell a file that is too long.
    static char text[V3_CONFIG_MAX_CHARS + 1];
    TextFileStatus status;
    int n = ReadTextFile(V3_CONFIG_FILE_NAME, text, V3_CONFIG_MAX_CHARS + 1, &status);
    int whole = 1;
    if (status == TEXT_NO_FILE)
        return;
    int unreadable = TextFileProblem(status, n, V3_CONFIG_MAX_CHARS, V3_CONFIG_FILE_NAME, errors, errorsCap);
    if (!unreadable)
        g_v3UserCount = ScanV3Users(text, static_cast<size_t>(n), g_v3Users, MAX_V3_USERS, errors, errorsCap, &whole);
    g_v3Unreadable = unreadable || !whole;
    memset(text, 0, sizeof text);
    if (g_v3Unreadable) {
        size_t used = strlen(errors);
        snprintf(errors + used, errorsCap - used, "\nNo interface is polled until it can be read whole.");
    }
}

void LoadV3Users()
{
    char errors[V3_ERRORS_CHARS];
    ReadV3Users(errors, sizeof errors);
    if (errors[0]) {
        wchar_t wide[V3_ERRORS_CHARS];
        size_t k = 0;
        for (; errors[k] && k + 1 < V3_ERRORS_CHARS; k++)
            wide[k] = static_cast<unsigned char>(errors[k]);
        wide[k] = L'\0';
        ShowConfigError(wide, L"ERROR");
    }
}

const V3User *FindV3User(const char *community)
{
    // Without the whole file no community can be told from a label.
    static const V3User kUnknown = {};
    if (g_v3Unreadable)
        return &kUnknown;
    for (int k = 0; k < g_v3UserCount; k++)
        if (strcmp(g_v3Users[k].label, community) == 0)
            return &g_v3Users[k];
    return nullptr;
}
