#include "ConsoleReport.h"

#include "WebCopy.h"

namespace quorvel {

namespace {

std::string Utf8(const QString& text) {
    return text.toStdString();
}

std::string DateText(TDateTime date) {
    try {
        const TDateFields f = DateTime::Decode(date);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
                      f.minute, f.second);
        return text;
    } catch (const EConvertError&) {
        return "?";
    }
}

} // namespace

ConsoleReport::ConsoleReport(TWebCopy& engine, std::ostream& out, bool terminal, bool keepExisting)
    : m_out(out), m_terminal(terminal) {
    engine.OnFileStart = [this](TWebCopy* sender, int idx) {
        const TWebCopyItem& job = *sender->Items()[idx];
        Line("start " + std::to_string(idx + 1) + ": " + Utf8(job.URL));
    };
    engine.OnFileDone = [this](TWebCopy* sender, int idx) {
        Progress(*sender, true);
        Line("done " + std::to_string(idx + 1));
    };
    engine.OnCopyProgress = [this](TWebCopy* sender, int, std::uint64_t, std::uint64_t) {
        Progress(*sender, false);
    };
    engine.OnError = [](TWebCopy*, int) {}; // the text comes with OnErrorInfo
    engine.OnErrorInfo = [this](TWebCopy*, int code, const QString& info) {
        std::string text = Utf8(info);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        Line("error " + std::to_string(code) + ": " + text);
    };
    engine.OnURLNotFound = [this](TWebCopy*, const QString& url) { Line("not found: " + Utf8(url)); };
    engine.OnConnectError = [this](TWebCopy*) { Line("cannot connect the network share"); };
    engine.OnNoNewFileFound = [this](TWebCopy*, const QString& file, TDateTime, TDateTime newdate) {
        Line("not newer: " + Utf8(file) + " (" + DateText(newdate) + ")");
    };
    engine.OnCopyOverWrite = [this, keepExisting](TWebCopy*, const QString& file, bool& allow) {
        allow = !keepExisting;
        Line((allow ? "replacing: " : "keeping: ") + Utf8(file));
    };
    engine.OnCopyCancel = [this](TWebCopy*) { Line("cancelled"); };
    engine.OnCopyDone = [this](TWebCopy*) {
        Line("all done");
        std::lock_guard lock(m_mutex);
        m_done = true;
        m_doneChanged.notify_all();
    };
}

void ConsoleReport::WaitForDone() {
    std::unique_lock lock(m_mutex);
    m_doneChanged.wait(lock, [this] { return m_done; });
}

void ConsoleReport::Line(const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_progressShown) {
        m_out << '\n';
        m_progressShown = false;
    }
    m_out << text << '\n';
    m_out.flush();
}

void ConsoleReport::Progress(TWebCopy& engine, bool final) {
    const auto window = engine.ProgressWindow();
    if (!window)
        return;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_mutex);
    // Checked first: progress comes after every block, and most blocks show nothing.
    const auto interval = m_terminal ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000);
    if (!final && now - m_lastPrint < interval)
        return;
    // Nothing to show before the first block has set the line.
    if (window->ProgressLabel().Caption.size() <= engine.DlgProgressLabel.size())
        return;
    const std::string text = Utf8(window->ProgressLabel().Caption) + "  " + Utf8(window->RateLabel().Caption);
    if (final && text == m_lastProgress && !m_progressShown)
        return;
    m_lastPrint = now;
    m_lastProgress = text;
    if (m_terminal) {
        m_out << "\r\033[K" << text;
        m_progressShown = true;
        if (final) {
            m_out << '\n';
            m_progressShown = false;
        }
    } else {
        m_out << text << '\n';
    }
    m_out.flush();
}

} // namespace quorvel
