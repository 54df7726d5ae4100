#include "WebCopy.h"

#include "InetSession.h"
#include "ProgressView.h"
#include "WebCopyErrors.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <utility>

namespace quorvel {

namespace {

// Title-bar height from the style when a GUI exists on this thread, else a
// common value.
int StyleCaptionHeight() {
    const QCoreApplication* app = QCoreApplication::instance();
    if (ProgressView::Available() && QThread::currentThread() == app->thread() &&
        ProgressView::Installed().captionHeight)
        return ProgressView::Installed().captionHeight();
    return 23;
}

} // namespace

TWebCopy::TWebCopy(QObject* owner) : TComponent(owner), m_captionHeight(StyleCaptionHeight()) {
    RegisterEventTypes();
}

TWebCopy::~TWebCopy() {
    // m_ending first: a worker that clears the cancel flag after this point sees it.
    m_ending = true;
    m_run.Cancelled = true;
    WaitForWorkers();
    if (auto window = ProgressWindow())
        window->Detach();
    for (const auto& kept : m_keptWindows)
        if (auto window = kept.lock())
            window->Detach();
}

void TWebCopy::ResetCancel() {
    m_run.Cancelled = false;
    if (m_ending)
        m_run.Cancelled = true;
}

void TWebCopy::StartTransfers() {
    // A run still ending (its last events raised, its session closing) is let
    // finish first: two runs at once would share the session, the progress
    // window and the run state. A handler that starts a run from the worker
    // itself cannot wait for its own run.
    if (!TWCopyThread::IsWorkerOf(this)) {
        WaitForWorkers();
    }
    ResetCancel();
    new TWCopyThread(this);
}

std::shared_ptr<TProgressWindow> TWebCopy::ProgressWindow() const {
    std::lock_guard lock(m_windowMutex);
    return m_progressWindow;
}

void TWebCopy::SetProgressWindow(std::shared_ptr<TProgressWindow> window) {
    std::shared_ptr<TProgressWindow> old;
    {
        std::lock_guard lock(m_windowMutex);
        old = std::exchange(m_progressWindow, std::move(window));
    }
    // A window kept open by an earlier run may still be on screen; it is
    // detached when the engine goes, so its buttons never reach a freed engine.
    std::erase_if(m_keptWindows, [](const auto& w) { return w.expired(); });
    if (old)
        m_keptWindows.push_back(old);
}

std::uint32_t TWebCopy::TickCount() const {
    if (m_run.TickSource)
        return m_run.TickSource();
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TWebCopy::ReportError(WebCopyError code, const QString& info) {
    const int number = WebCopyErrorNumber(code);
    if (OnError)
        OnError(this, number);
    Q_EMIT Error(number);
    if (OnErrorInfo)
        OnErrorInfo(this, number, info);
    Q_EMIT ErrorInfo(number, info);
}

void TWebCopy::RunStarted(const std::function<void()>& body) {
    // Counted and kept under one lock: the thread's RunEnded, which takes the
    // lock, always finds itself counted.
    std::lock_guard lock(m_runMutex);
    ++m_runningThreads;
    m_workers.emplace_back(body);
}

void TWebCopy::WaitForWorkers() {
    std::vector<std::thread> workers;
    {
        std::unique_lock lock(m_runMutex);
        m_runEnded.wait(lock, [this] { return m_runningThreads == 0; });
        workers.swap(m_workers);
    }
    // A worker that has ended its run still unwinds its thread (its
    // thread-local state, the libraries' per-thread data). Joining it lets
    // nothing of it outlive the engine: a program that returns from main
    // right after would otherwise tear down those libraries under it.
    for (std::thread& worker : workers) {
        if (worker.get_id() == std::this_thread::get_id())
            worker.detach(); // the engine freed by its own worker's handler
        else
            worker.join();
    }
}

void TWebCopy::RunEnded() {
    std::lock_guard lock(m_runMutex);
    --m_runningThreads;
    m_runEnded.notify_all();
}

} // namespace quorvel
