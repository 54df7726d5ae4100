#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class TFileOps;

// Flushes finished files to the disk on a few threads of its own while the
// caller goes on writing the next ones, so that a flush waiting for the disk
// overlaps with the work that follows instead of adding to it. Each file is
// flushed through a copy of its descriptor, so the caller may close its own
// at once. Only a bounded number of copies wait at a time; a file that finds
// the queue full is left to the caller's own flush.
class TBackgroundFlush {
public:
    explicit TBackgroundFlush(TFileOps& ops);
    ~TBackgroundFlush(); // waits for the flushes under way, drops those waiting
    TBackgroundFlush(const TBackgroundFlush&) = delete;
    TBackgroundFlush& operator=(const TBackgroundFlush&) = delete;

    // Queues the flush of the open file `fd`.
    void Add(int fd);
    // Waits for every queued flush; false when one of them failed, in which
    // case the data of that file may not be on the disk (and a later flush
    // of it need not say so again).
    bool Finish();

private:
    void Work();

    TFileOps& m_ops;
    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<int> m_queue;
    int m_busy = 0;
    bool m_failed = false;
    bool m_stop = false;
    std::vector<std::jthread> m_threads;
};
