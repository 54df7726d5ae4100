#include "TransferSteps.h"

#include "WebCopyRun.h"

#include <QFileInfo>

#include <array>
#include <memory>

namespace quorvel {

namespace {

// A line of texts joined by blanks. The progress step makes its lines after
// every block, but their parts change far less often (a size text every few
// blocks, a time text every second), so the line of the last block on this
// thread is reused while its parts are the same.
template <std::size_t N> class LineMemo {
public:
    const QString& Line(const std::array<QString, N>& parts) {
        if (parts == m_parts && !m_line.isNull())
            return m_line;
        m_parts = parts;
        qsizetype length = N - 1;
        for (const QString& part : parts)
            length += part.size();
        m_line = QString();
        m_line.reserve(length);
        for (std::size_t i = 0; i < N; ++i) {
            if (i > 0)
                m_line += QLatin1Char(' ');
            m_line += parts[i];
        }
        return m_line;
    }

private:
    std::array<QString, N> m_parts;
    QString m_line;
};

thread_local LineMemo<2> t_progressOfUnknown;
thread_local LineMemo<4> t_progressOfTotal;
thread_local LineMemo<2> t_rateLine;
thread_local LineMemo<2> t_timeLine;

// The transfer whose texts this thread made last, and its latest block when
// that block's texts are not made yet.
struct ShownTransfer {
    const TWebCopy* engine = nullptr;
    const TProgressWindow* window = nullptr;
    std::weak_ptr<TProgressWindow> keep; // the same window, for a later publication
    std::uint32_t startTick = 0;
    std::uint32_t tick = 0; // when the texts were last made
    QString verb;
    bool pending = false;
    std::uint64_t done = 0, total = 0;
    // What the window's bar and progress line show (known total only).
    int bar = -1;
    QString doneText;
    std::uint64_t resumed = 0; // of done, kept from an earlier run
};
thread_local ShownTransfer t_shown;

void WriteBarAndProgressLine(const TWebCopy& engine, TProgressWindow& window, std::uint64_t done,
                             std::uint64_t total) {
    if (total > 0) {
        ShownTransfer& shown = t_shown;
        shown.bar = ProgressPercent(done, total);
        shown.doneText = FormatSize(done);
        window.SetProgress(shown.bar, t_progressOfTotal.Line({engine.DlgProgressLabel, shown.doneText,
                                                              engine.DlgFileOfLabel, FormatSize(total)}));
    } else {
        window.SetProgress(std::nullopt,
                           t_progressOfUnknown.Line({engine.DlgProgressLabel, FormatSize(done)}));
    }
}

// The rate and the time left come from this run's bytes: done less resumed.
void WriteTitleRateAndTime(const TWebCopy& engine, TProgressWindow& window, std::uint64_t done,
                           std::uint64_t total, std::uint32_t startTick, const QString& verb,
                           std::uint64_t resumed) {
    if (engine.ShowCompletion)
        window.SetCaption(verb + QStringLiteral(" : ") + QString::number(window.ProgressBar().Position) +
                          QStringLiteral("% ") + engine.DlgCompleted);
    const QString& rateText = t_rateLine.Line(
        {engine.DlgRateLabel, FormatRate(BytesPerSecond(done - resumed, engine.TickCount() - startTick))});
    window.SetRateAndTime(
        rateText, t_timeLine.Line({engine.DlgTimeLabel, FormatTimeLeft(engine.TickCount() - startTick,
                                                                       done - resumed, total - resumed)}));
}

} // namespace

namespace TransferSteps {

void ShowUploadAnimation(TWebCopy& engine) {
    if (auto window = engine.ProgressWindow())
        window->SetAnimationClip(kUploadAnimationClip);
}

void WriteFileLine(TWebCopy& engine, const QString& name, const QString& direction, const QString& server,
                   bool showServer) {
    QString counter;
    if (engine.Items().Count() >= 2)
        counter = QString::number(engine.CurrentNumber()) + QLatin1Char(' ') + engine.DlgFileOfLabel +
                  QLatin1Char(' ') + QString::number(CountActiveJobs(engine)) + QStringLiteral(" : ");
    QString line = engine.DlgFileLabel + QLatin1Char(' ') + counter + name;
    if (showServer)
        line += QLatin1Char(' ') + direction + QLatin1Char(' ') + server;
    if (auto window = engine.ProgressWindow())
        window->SetFileLabel(line);
}

QString TargetPathOf(const QString& targetDir, const QString& targetFilename, const QString& source) {
    const std::string name =
        targetFilename.isEmpty() ? UrlFileName(source.toStdString()) : targetFilename.toStdString();
    // Folder and name may be written with "\"; the path the routine, the
    // overwrite question and the open buttons use is the file system's.
    return QString::fromStdString(LocalPath(JoinTargetPath(targetDir.toStdString(), name)));
}

bool SettleTargetPath(TWebCopy& engine, const QString& targetDir, const QString& targetFilename,
                      const QString& source, QString& targetPath) {
    targetPath = TargetPathOf(targetDir, targetFilename, source);
    TWebCopyRun::SetLastTarget(engine, targetPath,
                               QString::fromStdString(LocalPath(targetDir.toStdString())));
    if (!QFileInfo::exists(targetPath) || !engine.OnCopyOverWrite)
        return true;
    bool allow = true;
    engine.OnCopyOverWrite(&engine, targetPath, allow);
    return allow;
}

void ProgressStep(TWebCopy& engine, std::uint64_t done, std::uint64_t total, std::uint32_t startTick,
                  const QString& verb) {
    ProgressStep(engine, engine.ProgressWindow().get(), done, total, startTick, verb);
}

void ProgressStep(TWebCopy& engine, TProgressWindow* window, std::uint64_t done, std::uint64_t total,
                  std::uint32_t startTick, const QString& verb) {
    ProgressStep(engine, window, done, total, startTick, verb, 0);
}

void ProgressStep(TWebCopy& engine, TProgressWindow* window, std::uint64_t done, std::uint64_t total,
                  std::uint32_t startTick, const QString& verb, std::uint64_t resumed) {
    // Blocks come every few microseconds on a fast link: the window's rate,
    // time and title texts are made at most once per tick of the clock, and
    // always for the first block of a transfer and the last. A block within
    // the tick is kept as pending and shown by the next tick's block, or by
    // PublishPendingProgress as soon as the transfer waits for the network,
    // so the window never stays behind the data. A bound OnCopyProgress
    // handler reads the bar and the progress line, so they are made for it
    // every block.
    ShownTransfer& shown = t_shown;
    const std::uint32_t tick = engine.TickCount();
    // The same transfer: the same live window (a freed one's address may come
    // back), the same start, amounts that only grow.
    if (window && total > 0 && done < total && window == shown.window && !shown.keep.expired() &&
        startTick == shown.startTick && done > shown.done && tick == shown.tick) {
        if (engine.OnCopyProgress) {
            // The bar and the line change every few blocks only (the amount
            // is shown in hundredths): the window is written when they do.
            if (ProgressPercent(done, total) != shown.bar || !FormatSize(done).isSharedWith(shown.doneText))
                WriteBarAndProgressLine(engine, *window, done, total);
            engine.OnCopyProgress(&engine, engine.CurrentNumber(), done, total);
        }
        Q_EMIT engine.CopyProgress(engine.CurrentNumber(), done, total);
        shown.done = done;
        shown.total = total;
        shown.resumed = resumed;
        shown.pending = true;
        return;
    }
    if (window != shown.window || startTick != shown.startTick) {
        shown.engine = &engine;
        shown.window = window;
        shown.keep = window ? window->weak_from_this() : std::weak_ptr<TProgressWindow>();
        shown.startTick = startTick;
        shown.verb = verb;
    }
    shown.tick = tick;
    shown.done = done;
    shown.total = total;
    shown.resumed = resumed;
    shown.pending = false;
    if (window)
        WriteBarAndProgressLine(engine, *window, done, total);
    TWebCopyRun::RaiseCopyProgress(engine, done, total);
    if (window)
        WriteTitleRateAndTime(engine, *window, done, total, startTick, verb, resumed);
}

void PublishPendingProgress(TWebCopy& engine) {
    ShownTransfer& shown = t_shown;
    if (!shown.pending || shown.engine != &engine)
        return;
    shown.pending = false;
    const std::shared_ptr<TProgressWindow> window = shown.keep.lock();
    if (!window)
        return;
    shown.tick = engine.TickCount();
    WriteBarAndProgressLine(engine, *window, shown.done, shown.total);
    WriteTitleRateAndTime(engine, *window, shown.done, shown.total, shown.startTick, shown.verb,
                          shown.resumed);
}

void ProcessPendingInput(TWebCopy& engine) {
    ProcessPendingInput(engine, engine.ProgressWindow().get());
}

void ProcessPendingInput(TWebCopy& engine, TProgressWindow* window) {
    if (window && window->TakeCancelPress())
        TWebCopyRun::RaiseCopyCancel(engine);
}

} // namespace TransferSteps

} // namespace quorvel
