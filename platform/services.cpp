#include "platform/services.h"

namespace zel::platform {
namespace {

Services& Binding() {
    static Services services{&SystemClock(), &StandardErrorMessages()};
    return services;
}

}  // namespace

const Services& CurrentServices() { return Binding(); }

ScopedServices::ScopedServices(const Services& services) : m_previous(Binding()) {
    Services& current = Binding();
    if (services.clock) current.clock = services.clock;
    if (services.messages) current.messages = services.messages;
    if (services.registry) current.registry = services.registry;
}

ScopedServices::~ScopedServices() { Binding() = m_previous; }

}  // namespace zel::platform
