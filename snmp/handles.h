// The stack's handle tables: one table per kind of handle, each of its own type,
// behind the one lock (see session.h for what else it guards). A handle is a
// key, never a pointer; 0 is never one, and no two tables share one, so a
// handle of one kind is never found as another.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "snmp/ber.h"
#include "snmp/session.h"
#include "snmp/v3exchange.h"
#include "snmp/winsnmp.h"

namespace vsnmp {
namespace stack {

// An agent's address and port, and the version messages to it speak.
struct Entity {
    uint32_t addr = 0;
    uint16_t port = 0;
    int32_t version = ber::VERSION_1;
    bool hasUser = false;  // SNMPv3: set by SnmpSetEntityUser
    v3::User user;
};

// A community, or in SNMPv3 the scoped PDU's context name.
struct Context {
    std::vector<uint8_t> name;
};

struct Pdu {
    uint8_t type = ber::TAG_GET_REQUEST;
    int32_t requestId = 0;
    int32_t errorStatus = 0;
    int32_t errorIndex = 0;
    std::vector<ber::VarBind> bindings;
};

// SnmpGetVb points into the bindings, until the list is freed.
struct Vbl {
    std::vector<ber::VarBind> bindings;
};

template <typename T>
class Table {
public:
    typedef T Item;

    // The item behind a handle, or null for 0 or a handle of another table.
    T *Find(uintptr_t id)
    {
        if (id == 0)
            return nullptr;
        auto it = items_.find(id);
        return it != items_.end() ? &it->second : nullptr;
    }
    bool Has(uintptr_t id) const { return items_.count(id) != 0; }
    void Put(uintptr_t id, T &&item) { items_.emplace(id, std::move(item)); }
    bool Erase(uintptr_t id) { return items_.erase(id) != 0; }
    void Clear() { items_.clear(); }
    typename std::unordered_map<uintptr_t, T>::iterator begin() { return items_.begin(); }
    typename std::unordered_map<uintptr_t, T>::iterator end() { return items_.end(); }

private:
    std::unordered_map<uintptr_t, T> items_;
};

struct Library {
    std::mutex lock;
    Table<std::unique_ptr<Session>> sessions;
    Table<Entity> entities;
    Table<Context> contexts;
    Table<Pdu> pdus;
    Table<Vbl> vbls;
    std::deque<std::vector<uint32_t>> oids;  // from SnmpStrToOid, until SnmpCleanup
    int uses = 0;                            // SnmpStartup calls not yet cleaned up
    // The last SnmpCleanup has begun: receivers take no more datagrams and start
    // no more callbacks. Set and cleared under the lock; read without it too.
    std::atomic<bool> closing{false};
    smiUINT32 translateMode = SNMPAPI_TRANSLATED;
    // What SNMPv3 discovery learnt of each agent's engine, and the users' keys:
    // kept across clean-ups, since every query starts and cleans up the stack.
    v3::Engines engines;

    Library() = default;
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
    // A process that never called SnmpCleanup: its receivers end before their threads are destroyed.
    ~Library();

    // Puts an item in its table under a new handle while the stack is started;
    // 0 (item untouched) otherwise. May throw for want of memory.
    template <typename T>
    uintptr_t Add(Table<T> &table, typename Table<T>::Item &&item)
    {
        if (uses == 0)
            return 0;
        do {
            lastHandle_++;
        } while (lastHandle_ == 0 || InUse(lastHandle_));
        table.Put(lastHandle_, std::move(item));
        return lastHandle_;
    }

    // Every handle and descriptor, at the last clean-up. Allocates nothing.
    void Clear();

private:
    bool InUse(uintptr_t id) const;

    uintptr_t lastHandle_ = 0;
};

Library &Lib();

// Runs a call's body with the lock held; any exception (an allocation that
// failed) is the call's failure.
template <typename R, typename F>
R Locked(R failure, F body)
{
    try {
        Library &lib = Lib();
        std::lock_guard<std::mutex> guard(lib.lock);
        return body(lib);
    } catch (...) {
        return failure;
    }
}

template <typename H>
uintptr_t Id(H handle)
{
    return reinterpret_cast<uintptr_t>(handle);
}

template <typename H>
H Handle(uintptr_t id)
{
    // A handle is a table key, never dereferenced: nothing to lose to the cast.
    return reinterpret_cast<H>(id);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace stack
}  // namespace vsnmp
