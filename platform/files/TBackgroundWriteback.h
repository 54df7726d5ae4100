#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quorvel {

// Starts the disk writes of finished files on a thread of its own while the
// caller goes on writing the next ones, so that by the time the caller
// flushes the file system little is left to wait for. Only starts writes:
// it reports nothing, since durability (and any write error) is settled by
// the caller's flush. Each file is handled through a copy of its
// descriptor, so the caller may close its own at once; only a bounded
// number of copies wait, and a file that finds the queue full is simply
// written by the caller's flush.
class TBackgroundWriteback {
public:
    TBackgroundWriteback();
    ~TBackgroundWriteback(); // waits for the file under way, drops those waiting
    TBackgroundWriteback(const TBackgroundWriteback&) = delete;
    TBackgroundWriteback& operator=(const TBackgroundWriteback&) = delete;

    // Queues the start of the writes of the open file `fd`.
    void Add(int fd);
    // Waits until every queued file has been handed to the disk.
    void Finish();

private:
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<int> m_queue;
    bool m_busy = false;
    bool m_stop = false;
    std::size_t m_maxWaiting;
    std::jthread m_thread;
};

} // namespace quorvel
