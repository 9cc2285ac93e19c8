// Interrupt requests from outside (Ctrl-C, a termination request, a closed terminal), turned into
// a flag that a long run can look at between steps, so that it ends cleanly (its temporary files
// removed) instead of being killed midway.
#pragma once

namespace zel::platform {

// While it exists, an interrupt, termination or hang-up signal no longer ends the process: it sets
// the flag that Requested() reports. The previous handling is restored on destruction. One at a time.
class ScopedInterruptWatch {
public:
    ScopedInterruptWatch();
    ~ScopedInterruptWatch();
    ScopedInterruptWatch(const ScopedInterruptWatch&) = delete;
    ScopedInterruptWatch& operator=(const ScopedInterruptWatch&) = delete;

    // True once an interrupt arrived since construction. Any thread may ask.
    bool Requested() const;
};

}  // namespace zel::platform
