#pragma once

class TWebCopy;

// The worker of one run: created running, runs RunJobs on its engine once and
// frees itself when that returns. Nobody keeps a reference to it; the engine
// only counts running workers so that it can wait for them when destroyed.
class TWCopyThread {
public:
    explicit TWCopyThread(TWebCopy* engine);
    TWCopyThread(const TWCopyThread&) = delete;
    TWCopyThread& operator=(const TWCopyThread&) = delete;

private:
    ~TWCopyThread() = default;
    void Execute();

    TWebCopy* m_engine;
};
