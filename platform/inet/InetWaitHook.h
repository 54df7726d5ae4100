#pragma once

#include <functional>

namespace quorvel {

// Work a thread asks to have done whenever one of its transfers in this layer
// is about to wait for the network. A thread that brings its display up to
// date only now and then (a progress window fed block by block) uses it to
// show the latest state before it sits idle. One hook per thread, in force
// for the lifetime of this object; the one it replaced comes back after.
class InetWaitHook {
public:
    explicit InetWaitHook(std::function<void()> hook);
    ~InetWaitHook();
    InetWaitHook(const InetWaitHook&) = delete;
    InetWaitHook& operator=(const InetWaitHook&) = delete;

    // Called by the layer on the waiting thread just before each wait.
    static void AboutToWait();

private:
    std::function<void()> m_hook;
    InetWaitHook* m_previous;
};

} // namespace quorvel
