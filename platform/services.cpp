#include "platform/services.h"

namespace zel::platform {
namespace {

// The system root named by the environment; made on first use and kept for the process.
SystemRoot& DefaultSystemRoot() {
    static std::unique_ptr<SystemRoot> root = OpenSystemRoot(DefaultSystemRootFolder());
    return *root;
}

Services& Binding() {
    static Services services{&SystemClock(), &StandardErrorMessages(), &DefaultSystemRoot(),
                             &DefaultSystemRoot().GetRegistry(), &SystemProcessTable()};
    return services;
}

}  // namespace

const Services& CurrentServices() { return Binding(); }

ScopedServices::ScopedServices(const Services& services) : m_previous(Binding()) {
    Services& current = Binding();
    if (services.clock) current.clock = services.clock;
    if (services.messages) current.messages = services.messages;
    if (services.system_root) {
        current.system_root = services.system_root;
        current.registry = &services.system_root->GetRegistry();
    }
    if (services.registry) current.registry = services.registry;
    if (services.processes) current.processes = services.processes;
}

ScopedServices::~ScopedServices() { Binding() = m_previous; }

}  // namespace zel::platform
