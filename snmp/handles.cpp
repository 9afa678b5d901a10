#include "snmp/handles.h"

namespace vsnmp {
namespace stack {

Library::~Library()
{
    closing = true;
    while (Session *s = StopReceivers(*this))
        s->thread.join();
}

void Library::Clear()
{
    sessions.Clear();
    entities.Clear();
    contexts.Clear();
    pdus.Clear();
    vbls.Clear();
    oids.clear();
}

bool Library::InUse(uintptr_t id) const
{
    return sessions.Has(id) || entities.Has(id) || contexts.Has(id) || pdus.Has(id) || vbls.Has(id);
}

Library &Lib()
{
    static Library lib;
    return lib;
}

}  // namespace stack
}  // namespace vsnmp
