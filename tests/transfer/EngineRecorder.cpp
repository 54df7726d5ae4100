#include "EngineRecorder.h"

using namespace quorvel;

std::string Text(const QString& text) {
    return text.toStdString();
}

EngineRecorder::EngineRecorder(TWebCopy& engine) {
    engine.OnFileStart = [this](TWebCopy*, int idx) { Add("FileStart " + std::to_string(idx)); };
    engine.OnFileDone = [this](TWebCopy*, int idx) { Add("FileDone " + std::to_string(idx)); };
    engine.OnCopyDone = [this](TWebCopy* sender) {
        if (auto window = sender->ProgressWindow()) {
            std::lock_guard lock(m_mutex);
            m_atDone = window->Snapshot();
        }
        Add("CopyDone");
    };
    engine.OnCopyCancel = [this](TWebCopy*) { Add("CopyCancel"); };
    engine.OnCopyProgress = [this](TWebCopy*, int fileidx, std::uint64_t size, std::uint64_t totsize) {
        std::lock_guard lock(m_mutex);
        (void)fileidx;
        m_progress.emplace_back(size, totsize);
    };
    engine.OnError = [this](TWebCopy*, int code) { Add("Error " + std::to_string(code)); };
    engine.OnErrorInfo = [this](TWebCopy*, int code, const QString& info) {
        Add("ErrorInfo " + std::to_string(code) + " " + Text(info));
    };
    engine.OnConnectError = [this](TWebCopy*) { Add("ConnectError"); };
    engine.OnURLNotFound = [this](TWebCopy*, const QString& url) { Add("URLNotFound " + Text(url)); };
    engine.OnNoNewFileFound = [this](TWebCopy*, const QString& tgtfile, TDateTime, TDateTime) {
        Add("NoNewFile " + Text(tgtfile));
    };
}

void EngineRecorder::Add(const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(line);
    m_threads.push_back(std::this_thread::get_id());
}

std::vector<std::string> EngineRecorder::Events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<std::string> EngineRecorder::EventsOf(const std::string& word) const {
    std::vector<std::string> out;
    for (const auto& e : Events())
        if (e.rfind(word, 0) == 0)
            out.push_back(e);
    return out;
}

std::vector<std::thread::id> EngineRecorder::Threads() const {
    std::lock_guard lock(m_mutex);
    return m_threads;
}

TProgressWindowSnapshot EngineRecorder::AtDone() const {
    std::lock_guard lock(m_mutex);
    return m_atDone;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> EngineRecorder::Progress() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}
