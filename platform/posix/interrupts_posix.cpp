#include <signal.h>

#include <atomic>

#include "platform/interrupts.h"

namespace zel::platform {
namespace {

// A signal handler can reach nothing but a lock-free flag with static storage.
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

struct sigaction g_previousInt;
struct sigaction g_previousTerm;
struct sigaction g_previousHup;

extern "C" void OnInterrupt(int) { g_requested.store(true); }

}  // namespace

ScopedInterruptWatch::ScopedInterruptWatch() {
    g_requested.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &g_previousInt);
    ::sigaction(SIGTERM, &action, &g_previousTerm);
    ::sigaction(SIGHUP, &action, &g_previousHup);
}

ScopedInterruptWatch::~ScopedInterruptWatch() {
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
    ::sigaction(SIGHUP, &g_previousHup, nullptr);
}

bool ScopedInterruptWatch::Requested() const { return g_requested.load(); }

}  // namespace zel::platform
