#pragma once

#include "WebCopy.h"

#include <QString>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Binds every event of an engine and records each call as one line of text,
// e.g. "FileStart 0", "ErrorInfo 404 Returned http error code 404".
class EngineRecorder {
public:
    explicit EngineRecorder(quorvel::TWebCopy& engine);

    std::vector<std::string> Events() const;
    // Only the events whose line starts with the given word.
    std::vector<std::string> EventsOf(const std::string& word) const;
    void Add(const std::string& line);

    // Threads the events were raised on.
    std::vector<std::thread::id> Threads() const;
    // Progress window texts seen when OnCopyDone was raised.
    quorvel::TProgressWindowSnapshot AtDone() const;
    // Sizes passed to OnCopyProgress, in order.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> Progress() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_events;
    std::vector<std::thread::id> m_threads;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_progress;
    quorvel::TProgressWindowSnapshot m_atDone;
};

std::string Text(const QString& text);
