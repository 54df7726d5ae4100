#include "TBackgroundFlush.h"

#include "TFileOps.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

// Flushes that wait together share one commit of the file system's journal,
// so a few threads keep many small files from waiting one after the other.
constexpr int kThreads = 8;
// Descriptors kept open for flushes that have not started yet: enough for
// a run of small files, and far below the usual limit of 1024 descriptors a
// process may hold, so the extraction itself never runs short of them.
constexpr std::size_t kMaxWaiting = 256;

} // namespace

TBackgroundFlush::TBackgroundFlush(TFileOps& ops) : m_ops(ops) {}

TBackgroundFlush::~TBackgroundFlush() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        for (const int fd : m_queue)
            close(fd);
        m_queue.clear();
    }
    m_wake.notify_all();
    m_threads.clear(); // joins
}

void TBackgroundFlush::Add(int fd) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stop || m_queue.size() >= kMaxWaiting)
            return;
        const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (copy < 0) {
            // Out of descriptors: the caller's own flush covers the file.
            return;
        }
        m_queue.push_back(copy);
        // Threads start with the first files, so that an install of nothing
        // starts none.
        if (m_threads.size() < static_cast<std::size_t>(kThreads) &&
            m_queue.size() + static_cast<std::size_t>(m_busy) > m_threads.size())
            m_threads.emplace_back([this] { Work(); });
    }
    m_wake.notify_one();
}

bool TBackgroundFlush::Finish() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && m_busy == 0; });
    return !m_failed;
}

void TBackgroundFlush::Work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopped
        const int fd = m_queue.front();
        m_queue.pop_front();
        ++m_busy;
        lock.unlock();
        const bool ok = m_ops.Sync(fd) == 0;
        close(fd);
        lock.lock();
        --m_busy;
        m_failed = m_failed || !ok;
        if (m_queue.empty() && m_busy == 0)
            m_idle.notify_all();
    }
}
