#include "TBackgroundWriteback.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quorvel {

namespace {

// Descriptors kept open for files not handled yet: enough for a run of
// small files, and at most a quarter of what the process may hold, so the
// extraction itself never runs short of them.
std::size_t MaxWaiting() {
    rlimit limit{};
    std::size_t max = 256;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        max = std::min<std::size_t>(max, limit.rlim_cur / 4);
    return max;
}

} // namespace

TBackgroundWriteback::TBackgroundWriteback() : m_maxWaiting(MaxWaiting()) {}

TBackgroundWriteback::~TBackgroundWriteback() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        for (const int fd : m_queue)
            close(fd);
        m_queue.clear();
    }
    m_wake.notify_all();
    // m_thread joins as it goes.
}

void TBackgroundWriteback::Add(int fd) {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stop || m_queue.size() >= m_maxWaiting)
            return;
        const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (copy < 0)
            return; // out of descriptors: the caller's flush writes the file
        m_queue.push_back(copy);
        // The thread starts with the first file, so an install of nothing starts none.
        if (!m_thread.joinable())
            m_thread = std::jthread([this] { Work(); });
    }
    m_wake.notify_one();
}

void TBackgroundWriteback::Finish() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void TBackgroundWriteback::Work() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopped
        const int fd = m_queue.front();
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        // Only starts the writes of the dirty pages: no wait for the disk or
        // the file system's journal, which would hold up the files being
        // created meanwhile. A failure here shows again in the final flush.
        sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        close(fd);
        lock.lock();
        m_busy = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

} // namespace quorvel
