#include "InetWaitHook.h"

#include <utility>

namespace quorvel {

namespace {

thread_local InetWaitHook* t_current = nullptr;

} // namespace

InetWaitHook::InetWaitHook(std::function<void()> hook) : m_hook(std::move(hook)), m_previous(t_current) {
    t_current = this;
}

InetWaitHook::~InetWaitHook() {
    t_current = m_previous;
}

void InetWaitHook::AboutToWait() {
    InetWaitHook* hook = t_current;
    if (!hook || !hook->m_hook)
        return;
    // A hook that itself waits on the network does not run again inside.
    t_current = nullptr;
    hook->m_hook();
    t_current = hook;
}

} // namespace quorvel
