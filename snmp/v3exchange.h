// One SNMPv3 request's way to its answer, and what the stack keeps of each
// agent's engine meanwhile (RFC 3414): discovery of the engine ID, boots and time
// when they are not known yet, the time window with one re-synchronisation,
// reports turned into failures, and replies verified, checked against the time
// window and decrypted before anything of them is used. No sockets, no clock and
// no locks: the stack feeds it datagrams and the time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "snmp/ber.h"
#include "snmp/usm.h"
#include "snmp/v3message.h"

namespace vsnmp {
namespace v3 {

// Who the messages speak as.
struct User {
    std::string name;
    usm::AuthProtocol auth = usm::AUTH_NONE;
    std::string authPassword;
    usm::PrivProtocol priv = usm::PRIV_NONE;
    std::string privPassword;

    bool operator==(const User &o) const
    {
        return name == o.name && auth == o.auth && authPassword == o.authPassword && priv == o.priv &&
               privPassword == o.privPassword;
    }
};

// What is known of one agent's engine, for one user; kept for the whole run,
// so that a query after the first costs one request.
struct Engine {
    uint32_t addr = 0;
    uint16_t port = 0;
    User user;
    usm::UserKeys userKeys;  // the passwords' keys, made once
    bool known = false;      // engine ID, boots and time learnt
    std::vector<uint8_t> engineId;
    int32_t boots = 0;
    int32_t time = 0;         // the engine's time when learnt...
    int64_t learntAt = 0;     // ...at this time of ours, in seconds
    int32_t latestTime = 0;   // the latest time an authentic message carried
    usm::Keys keys;           // localised to engineId
    uint64_t lastUse = 0;
    // In this use of the stack: a request went to the known engine, and
    // something of an exchange came back. silentUses counts the uses in a row
    // that asked and heard nothing.
    bool asked = false;
    bool heard = false;
    int silentUses = 0;
};

// Why an exchange failed, as the agent's report or our own checks say.
enum Failure {
    FAILURE_NONE,
    FAILURE_UNKNOWN_USER,
    FAILURE_WRONG_DIGESTS,
    FAILURE_UNSUPPORTED_SECURITY_LEVEL,
    FAILURE_DECRYPTION_ERROR,
    FAILURE_UNKNOWN_ENGINE,
    FAILURE_NOT_IN_TIME_WINDOW,
    FAILURE_AUTHENTICATION,  // a reply whose MAC does not verify, or without the security asked for
};

// What to do with a datagram that came in.
enum Outcome {
    OUTCOME_DROP,     // nothing for this exchange
    OUTCOME_DELIVER,  // *answer holds the reply's PDU, its community the context name; the exchange is done
    OUTCOME_RESEND,   // *datagram is to be sent now (the request after discovery or re-synchronisation)
    OUTCOME_FAIL,     // *failure says why; the exchange is done unless the failure was a reply's
};

// A datagram of the exchange sent before its last one.
struct Try {
    int32_t msgId = 0;
    bool discovery = false;
};

const size_t MAX_EARLIER_TRIES = 8;

// One request, from its first datagram to its answer.
struct Exchange {
    ber::Message pdu;  // the request; its version and community are not used
    std::vector<uint8_t> contextName;
    int32_t msgId = 0;       // of the datagram sent last
    bool discovery = false;  // that datagram asked for the engine
    // The caller's earlier tries of the request: an answer to any of them counts.
    // A ring; tries counts every one recorded, the oldest are overwritten.
    Try earlier[MAX_EARLIER_TRIES];
    size_t tries = 0;
    bool done = false;
    int resyncsLeft = 1;       // after a notInTimeWindow report
    int rediscoveriesLeft = 1; // after an unknownEngineID report to a request: the engine changed
};

class Engines {
public:
    Engines();

    // The entry for an agent and user, made when there is none with the user's
    // keys (the million bytes of hashing per password, once per user while any
    // entry of theirs is kept); the least recently used goes when the table is
    // full. nullptr when the keys cannot be made.
    Engine *Acquire(uint32_t addr, uint16_t port, const User &user);
    Engine *Find(uint32_t addr, uint16_t port, const User &user);

    // The exchange's next datagram: a discovery while the engine is unknown,
    // otherwise the request as the user's security level asks. now is our time in
    // seconds. False when it cannot be encoded or encrypted.
    bool Build(Engine &engine, Exchange &x, int64_t now, std::vector<uint8_t> *datagram);
    // The same, as the caller's next try of a request still under way: the
    // datagram sent last stays answerable.
    bool Repeat(Engine &engine, Exchange &x, int64_t now, std::vector<uint8_t> *datagram);

    // Takes a datagram from the engine's agent for the exchange.
    Outcome Take(Engine &engine, Exchange &x, const uint8_t *data, size_t size, int64_t now, ber::Message *answer,
                 std::vector<uint8_t> *datagram, Failure *failure);

    // A use of the stack is over. An engine that was asked and took nothing
    // back (every datagram dropped), for the second use in a row, is forgotten:
    // an agent replaced under a new engine ID may drop requests for the old one
    // without a report. Its next request discovers the engine again; the user's
    // keys stay. Allocates nothing.
    void EndUse();

private:
    Outcome TakeDatagram(Engine &engine, Exchange &x, const uint8_t *data, size_t size, int64_t now,
                         ber::Message *answer, std::vector<uint8_t> *datagram, Failure *failure);
    bool Learn(Engine &engine, const Header &header, int64_t now);
    Outcome TakeReport(Engine &engine, Exchange &x, bool discovery, const Received &msg, const ScopedPdu &scoped,
                       int64_t now, std::vector<uint8_t> *datagram, Failure *failure);

    std::vector<std::unique_ptr<Engine>> engines_;
    uint64_t uses_ = 0;
    uint32_t nextMsgId_ = 0;
    uint64_t nextSalt_ = 0;
};

}  // namespace v3
}  // namespace vsnmp
