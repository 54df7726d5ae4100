#include "WCopyThread.h"

#include "WebCopyRun.h"

namespace quorvel {

namespace {

// The engine whose run this thread executes, if it is a worker.
thread_local const TWebCopy* t_runEngine = nullptr;

} // namespace

bool TWCopyThread::IsWorkerOf(const TWebCopy* engine) {
    return engine && t_runEngine == engine;
}

TWCopyThread::TWCopyThread(TWebCopy* engine) : m_engine(engine) {
    TWebCopyRun::RunStarted(*m_engine, [this] { Execute(); });
}

void TWCopyThread::Execute() {
    TWebCopy* engine = m_engine;
    t_runEngine = engine;
    try {
        RunJobs(*engine);
    } catch (...) {
        // Nothing may escape a worker thread; the routines report their own failures.
    }
    delete this;
    TWebCopyRun::RunEnded(*engine); // last touch of the engine: it may be freed right after
}

} // namespace quorvel
