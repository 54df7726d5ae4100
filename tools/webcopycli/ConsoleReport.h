#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>

namespace quorvel {

class TWebCopy;

// Binds the engine's events and prints them: each event as one line, and the
// progress line and rate as the progress window shows them. On a terminal the
// progress is one line rewritten in place (at most every 100 ms); otherwise
// it is a plain line at most once a second and at the end of each file.
class ConsoleReport {
public:
    ConsoleReport(TWebCopy& engine, std::ostream& out, bool terminal, bool keepExisting);

    // Waits until the engine's run has raised OnCopyDone.
    void WaitForDone();

private:
    void Line(const std::string& text);
    void Progress(TWebCopy& engine, bool final);

    std::ostream& m_out;
    const bool m_terminal;
    std::mutex m_mutex;
    std::condition_variable m_doneChanged;
    bool m_done = false;
    bool m_progressShown = false; // a terminal line is waiting to be ended
    std::string m_lastProgress;
    std::chrono::steady_clock::time_point m_lastPrint{};
};

} // namespace quorvel
