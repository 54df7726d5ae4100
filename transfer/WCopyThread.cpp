#include "WCopyThread.h"

#include "WebCopy.h"

#include <thread>

TWCopyThread::TWCopyThread(TWebCopy* engine) : m_engine(engine) {
    m_engine->RunStarted();
    std::thread([this] { Execute(); }).detach();
}

void TWCopyThread::Execute() {
    TWebCopy* engine = m_engine;
    try {
        RunJobs(*engine);
    } catch (...) {
        // Nothing may escape a worker thread; the routines report their own failures.
    }
    delete this;
    engine->RunEnded(); // last touch of the engine: it may be freed right after
}
