#include "snmp/v3exchange.h"

#include <cstring>

#include "snmp/crypto.h"

namespace vsnmp {
namespace v3 {

namespace {

const size_t kMaxEngines = 32;
const int32_t kMaxInt = 2147483647;
const int64_t kTimeWindow = 150;  // seconds an authentic message may lag behind our estimate
const int kSilentUses = 2;        // uses in a row without a word from a known engine before it is forgotten

// The usmStats counters a report names (1.3.6.1.6.3.15.1.1.N.0).
enum {
    STAT_UNSUPPORTED_SEC_LEVELS = 1,
    STAT_NOT_IN_TIME_WINDOWS = 2,
    STAT_UNKNOWN_USER_NAMES = 3,
    STAT_UNKNOWN_ENGINE_IDS = 4,
    STAT_WRONG_DIGESTS = 5,
    STAT_DECRYPTION_ERRORS = 6,
};

int UsmStat(const ber::Message &pdu)
{
    static const uint32_t kPrefix[] = {1, 3, 6, 1, 6, 3, 15, 1, 1};
    const size_t n = sizeof kPrefix / sizeof kPrefix[0];
    if (pdu.bindings.empty())
        return 0;
    const std::vector<uint32_t> &name = pdu.bindings[0].name;
    if (name.size() != n + 2 || memcmp(name.data(), kPrefix, sizeof kPrefix) != 0 || name[n + 1] != 0)
        return 0;
    return name[n] >= STAT_UNSUPPORTED_SEC_LEVELS && name[n] <= STAT_DECRYPTION_ERRORS ? static_cast<int>(name[n]) : 0;
}

uint8_t SecurityFlags(const User &user)
{
    return static_cast<uint8_t>((user.auth != usm::AUTH_NONE ? FLAG_AUTH : 0) |
                                (user.priv != usm::PRIV_NONE ? FLAG_PRIV : 0));
}

// The engine's time as we reckon it now.
int32_t EstimatedTime(const Engine &e, int64_t now)
{
    int64_t t = static_cast<int64_t>(e.time) + (now - e.learntAt);
    return t < 0 ? 0 : t > kMaxInt ? kMaxInt : static_cast<int32_t>(t);
}

std::vector<uint8_t> Bytes(const std::string &s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

// Whether the exchange sent msgId, and if so whether that datagram asked for the engine.
bool Sent(const Exchange &x, int32_t msgId, bool *discovery)
{
    if (msgId == x.msgId) {
        *discovery = x.discovery;
        return true;
    }
    size_t n = x.tries < MAX_EARLIER_TRIES ? x.tries : MAX_EARLIER_TRIES;
    for (size_t i = 0; i < n; i++) {
        if (x.earlier[i].msgId == msgId) {
            *discovery = x.earlier[i].discovery;
            return true;
        }
    }
    return false;
}

}  // namespace

Engines::Engines()
{
    // Message IDs and salts start somewhere no one can guess, so an old reply
    // never matches a new request.
    uint8_t seed[12] = {};
    crypto::RandomBytes(seed, sizeof seed);
    memcpy(&nextMsgId_, seed, sizeof nextMsgId_);
    memcpy(&nextSalt_, seed + 4, sizeof nextSalt_);
}

Engine *Engines::Find(uint32_t addr, uint16_t port, const User &user)
{
    for (auto &e : engines_) {
        if (e->addr == addr && e->port == port && e->user == user) {
            e->lastUse = ++uses_;
            return e.get();
        }
    }
    return nullptr;
}

Engine *Engines::Acquire(uint32_t addr, uint16_t port, const User &user)
{
    if (Engine *e = Find(addr, port, user))
        return e;
    std::unique_ptr<Engine> e(new Engine);
    e->addr = addr;
    e->port = port;
    e->user = user;
    // The passwords' keys depend on the user alone: another agent's entry may have them.
    const Engine *known = nullptr;
    for (const auto &other : engines_)
        if (other->user == user)
            known = other.get();
    if (known)
        e->userKeys = known->userKeys;
    else if (!usm::MakeUserKeys(user.auth, user.authPassword.c_str(), user.priv, user.privPassword.c_str(),
                                &e->userKeys))
        return nullptr;
    e->lastUse = ++uses_;
    if (engines_.size() < kMaxEngines) {
        engines_.push_back(std::move(e));
        return engines_.back().get();
    }
    auto oldest = engines_.begin();
    for (auto it = engines_.begin(); it != engines_.end(); ++it)
        if ((*it)->lastUse < (*oldest)->lastUse)
            oldest = it;
    *oldest = std::move(e);
    return oldest->get();
}

bool Engines::Build(Engine &e, Exchange &x, int64_t now, std::vector<uint8_t> *datagram)
{
    Header h;
    ScopedPdu scoped;
    x.msgId = static_cast<int32_t>(nextMsgId_++ & 0x7FFFFFFF);
    x.discovery = !e.known;
    e.asked = e.asked || !x.discovery;
    h.msgId = x.msgId;
    h.flags = FLAG_REPORTABLE;
    usm::Keys none;
    const usm::Keys *keys = &none;
    uint8_t salt[usm::SALT_SIZE];
    if (x.discovery) {
        // No user, no security: the agent's report names its engine.
        scoped.pdu.pduType = ber::TAG_GET_REQUEST;
        scoped.pdu.requestId = x.pdu.requestId;
    } else {
        h.flags |= SecurityFlags(e.user);
        h.engineId = e.engineId;
        h.boots = e.boots;
        h.time = EstimatedTime(e, now);
        h.userName = Bytes(e.user.name);
        scoped.contextEngineId = e.engineId;
        scoped.contextName = x.contextName;
        scoped.pdu = x.pdu;
        keys = &e.keys;
        for (size_t k = 0; k < sizeof salt; k++)
            salt[k] = static_cast<uint8_t>(nextSalt_ >> (56 - 8 * k));
        nextSalt_++;
    }
    datagram->resize(ber::MAX_MESSAGE_SIZE);
    size_t len = 0;
    if (EncodeMessage(h, scoped, *keys, salt, datagram->data(), datagram->size(), &len) != ber::BER_OK)
        return false;
    datagram->erase(datagram->begin(), datagram->end() - static_cast<long>(len));
    return true;
}

bool Engines::Repeat(Engine &e, Exchange &x, int64_t now, std::vector<uint8_t> *datagram)
{
    Try &t = x.earlier[x.tries % MAX_EARLIER_TRIES];
    t.msgId = x.msgId;
    t.discovery = x.discovery;
    x.tries++;
    return Build(e, x, now, datagram);
}

// Takes engine ID, boots and time from an agent's report and localises the keys.
bool Engines::Learn(Engine &e, const Header &h, int64_t now)
{
    if (h.engineId.size() < 5 || h.engineId.size() > usm::MAX_ENGINE_ID)
        return false;
    if (!usm::LocalizeKeys(e.userKeys, h.engineId.data(), h.engineId.size(), &e.keys))
        return false;
    e.engineId = h.engineId;
    e.boots = h.boots;
    e.time = h.time;
    e.latestTime = h.time;
    e.learntAt = now;
    e.known = true;
    return true;
}

Outcome Engines::TakeReport(Engine &e, Exchange &x, bool discovery, const Received &msg, const ScopedPdu &scoped,
                            int64_t now, std::vector<uint8_t> *datagram, Failure *failure)
{
    bool authentic = (msg.header.flags & FLAG_AUTH) != 0;
    int stat = UsmStat(scoped.pdu);
    // A report of something else (an unknown context, a PDU it has no handler
    // for) names nothing we can act on, and anyone may send one: the answer may
    // still come.
    if (stat == 0)
        return OUTCOME_DROP;
    x.done = true;
    switch (stat) {
    case STAT_UNKNOWN_ENGINE_IDS:
        // The answer to a discovery; to a request it means the engine changed
        // (the device was replaced): learn it again, once.
        if (!discovery && x.rediscoveriesLeft-- <= 0)
            break;
        x.done = false;
        if (!Learn(e, msg.header, now)) {
            e.known = false;
            x.done = true;
            break;
        }
        // The earlier tries lacked what the report taught: their answers would
        // be the same report, and must neither set off nor end anything again.
        x.tries = 0;
        return Build(e, x, now, datagram) ? OUTCOME_RESEND : OUTCOME_DROP;
    case STAT_NOT_IN_TIME_WINDOWS:
        // Only an authentic report may set our clock for the engine.
        if (discovery || !authentic || x.resyncsLeft-- <= 0) {
            *failure = FAILURE_NOT_IN_TIME_WINDOW;
            return OUTCOME_FAIL;
        }
        x.done = false;
        e.boots = msg.header.boots;
        e.time = msg.header.time;
        e.latestTime = msg.header.time;
        e.learntAt = now;
        x.tries = 0;  // as after a discovery
        return Build(e, x, now, datagram) ? OUTCOME_RESEND : OUTCOME_DROP;
    case STAT_UNKNOWN_USER_NAMES:
        *failure = FAILURE_UNKNOWN_USER;
        return OUTCOME_FAIL;
    case STAT_WRONG_DIGESTS:
        *failure = FAILURE_WRONG_DIGESTS;
        return OUTCOME_FAIL;
    case STAT_UNSUPPORTED_SEC_LEVELS:
        *failure = FAILURE_UNSUPPORTED_SECURITY_LEVEL;
        return OUTCOME_FAIL;
    case STAT_DECRYPTION_ERRORS:
        *failure = FAILURE_DECRYPTION_ERROR;
        return OUTCOME_FAIL;
    }
    *failure = FAILURE_UNKNOWN_ENGINE;
    return OUTCOME_FAIL;
}

Outcome Engines::Take(Engine &e, Exchange &x, const uint8_t *data, size_t size, int64_t now, ber::Message *answer,
                      std::vector<uint8_t> *datagram, Failure *failure)
{
    Outcome outcome = TakeDatagram(e, x, data, size, now, answer, datagram, failure);
    e.heard = e.heard || outcome != OUTCOME_DROP;
    return outcome;
}

void Engines::EndUse()
{
    for (auto &e : engines_) {
        if (e->heard) {
            e->silentUses = 0;
        } else if (e->asked && ++e->silentUses >= kSilentUses) {
            e->known = false;
            e->silentUses = 0;
        }
        e->asked = false;
        e->heard = false;
    }
}

Outcome Engines::TakeDatagram(Engine &e, Exchange &x, const uint8_t *data, size_t size, int64_t now,
                              ber::Message *answer, std::vector<uint8_t> *datagram, Failure *failure)
{
    *failure = FAILURE_NONE;
    Received msg;
    bool discovery = false;
    if (x.done || DecodeMessage(data, size, &msg) != ber::BER_OK || !Sent(x, msg.header.msgId, &discovery))
        return OUTCOME_DROP;
    const Header &h = msg.header;
    bool authentic = (h.flags & FLAG_AUTH) != 0;
    if (authentic) {
        // Only a message from the engine we know, to our user, with a MAC that
        // verifies under our key, is authentic; anything else claiming to be is
        // forged or altered.
        if (!e.known || h.engineId != e.engineId || h.userName != Bytes(e.user.name) ||
            e.user.auth == usm::AUTH_NONE || !VerifyMac(data, size, msg, e.keys)) {
            *failure = FAILURE_AUTHENTICATION;
            return OUTCOME_FAIL;
        }
    }
    ScopedPdu scoped;
    int rc = OpenScopedPdu(msg, e.keys, &scoped);
    if (rc != ber::BER_OK) {
        if (h.flags & FLAG_PRIV) {
            *failure = FAILURE_DECRYPTION_ERROR;
            return OUTCOME_FAIL;
        }
        return OUTCOME_DROP;
    }
    if (scoped.pdu.pduType == ber::TAG_REPORT)
        return TakeReport(e, x, discovery, msg, scoped, now, datagram, failure);
    if (scoped.pdu.pduType != ber::TAG_GET_RESPONSE || discovery)
        return OUTCOME_DROP;
    // A response comes with the security its request had, or it is not used.
    if ((h.flags & (FLAG_AUTH | FLAG_PRIV)) != SecurityFlags(e.user)) {
        *failure = FAILURE_AUTHENTICATION;
        return OUTCOME_FAIL;
    }
    if (authentic) {
        // The time window (RFC 3414 3.2 step 7b): a later boots or time is
        // learnt; a message from an earlier boot, or more than 150 s behind our
        // reckoning, is a replay and is not used.
        if (h.boots > e.boots || (h.boots == e.boots && h.time > e.latestTime)) {
            e.boots = h.boots;
            e.time = h.time;
            e.latestTime = h.time;
            e.learntAt = now;
        }
        if (e.boots == kMaxInt || h.boots < e.boots ||
            (h.boots == e.boots && static_cast<int64_t>(h.time) < EstimatedTime(e, now) - kTimeWindow)) {
            *failure = FAILURE_NOT_IN_TIME_WINDOW;
            return OUTCOME_FAIL;
        }
    }
    x.done = true;
    *answer = std::move(scoped.pdu);
    answer->community = std::move(scoped.contextName);  // the context the caller is handed
    return OUTCOME_DELIVER;
}

}  // namespace v3
}  // namespace vsnmp
