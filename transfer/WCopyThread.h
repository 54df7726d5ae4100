#pragma once

#include "QuorvelExport.h"

namespace quorvel {

class TWebCopy;

// The worker of one run: created running, runs RunJobs on its engine once and
// frees itself when that returns. Nobody keeps a reference to it; the engine
// counts running workers and keeps their threads, so that it can wait for and
// join them.
class QUORVEL_EXPORT TWCopyThread {
public:
    explicit TWCopyThread(TWebCopy* engine);
    TWCopyThread(const TWCopyThread&) = delete;
    TWCopyThread& operator=(const TWCopyThread&) = delete;

    // True on the worker thread of a run of that engine.
    static bool IsWorkerOf(const TWebCopy* engine);

private:
    ~TWCopyThread() = default;
    void Execute();

    TWebCopy* m_engine;
};

} // namespace quorvel
