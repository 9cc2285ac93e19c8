// The process-wide binding of platform services. Code that has no way to be handed an interface
// (operations whose signatures are fixed) asks for the current services here; tests and tools
// replace them for a scope with ScopedServices.
#pragma once

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/system_root.h"

namespace zel::platform {

struct Services {
    Clock* clock = nullptr;
    MessageSink* messages = nullptr;
    // The Windows installation that disinfection works on, and its registry. Replacing the system
    // root alone also replaces the registry with the root's.
    SystemRoot* system_root = nullptr;
    Registry* registry = nullptr;
    ProcessTable* processes = nullptr;
};

// The services in force: the system's own unless a ScopedServices replaced some of them.
const Services& CurrentServices();

// Replaces the non-null members of `services` until destruction, then restores the previous ones.
// Not thread-safe: set it up before starting threads that use the services.
class ScopedServices {
public:
    explicit ScopedServices(const Services& services);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Services m_previous;
};

}  // namespace zel::platform
