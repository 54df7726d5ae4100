#include "TransferSteps.h"

#include "WebCopy.h"

#include <QFileInfo>

#include <array>
#include <cmath>

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
        counter = QString::number(engine.CurrentNumber) + QLatin1Char(' ') + engine.DlgFileOfLabel +
                  QLatin1Char(' ') + QString::number(CountActiveJobs(engine)) + QStringLiteral(" : ");
    QString line = engine.DlgFileLabel + QLatin1Char(' ') + counter + name;
    if (showServer)
        line += QLatin1Char(' ') + direction + QLatin1Char(' ') + server;
    if (auto window = engine.ProgressWindow())
        window->SetFileLabel(line);
}

bool SettleTargetPath(TWebCopy& engine, const QString& targetDir, const QString& targetFilename,
                      const QString& source, QString& targetPath) {
    const std::string name =
        targetFilename.isEmpty() ? UrlFileName(source.toStdString()) : targetFilename.toStdString();
    // Folder and name may be written with "\"; the path the routine, the
    // overwrite question and the open buttons use is the file system's.
    targetPath = QString::fromStdString(LocalPath(JoinTargetPath(targetDir.toStdString(), name)));
    engine.LastTargetFile = targetPath;
    engine.LastTargetDir = QString::fromStdString(LocalPath(targetDir.toStdString()));
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
    thread_local LineMemo<2> progressOfUnknown;
    thread_local LineMemo<4> progressOfTotal;
    thread_local LineMemo<2> rateLine;
    thread_local LineMemo<2> timeLine;
    // Blocks come every few microseconds on a fast link: the window's texts
    // are made at most once per tick of the clock, and always for the first
    // block of a transfer and the last, so what it shows is never stale.
    thread_local const TProgressWindow* shownWindow = nullptr;
    thread_local std::uint32_t shownTick = 0, shownStart = 0;
    const std::uint32_t tick = engine.TickCount();
    if (window && total > 0 && done < total && window == shownWindow && tick == shownTick &&
        startTick == shownStart) {
        if (engine.OnCopyProgress)
            engine.OnCopyProgress(&engine, engine.CurrentNumber, done, total);
        return;
    }
    shownWindow = window;
    shownTick = tick;
    shownStart = startTick;
    if (window) {
        if (total > 0) {
            const double percent = static_cast<double>(done) * 100.0 / static_cast<double>(total);
            window->SetProgress(static_cast<int>(std::nearbyint(percent)),
                                progressOfTotal.Line({engine.DlgProgressLabel, FormatSize(done),
                                                      engine.DlgFileOfLabel, FormatSize(total)}));
        } else {
            window->SetProgress(std::nullopt,
                                progressOfUnknown.Line({engine.DlgProgressLabel, FormatSize(done)}));
        }
    }
    if (engine.OnCopyProgress)
        engine.OnCopyProgress(&engine, engine.CurrentNumber, done, total);
    if (!window)
        return;
    if (engine.ShowCompletion)
        window->SetCaption(verb + QStringLiteral(" : ") + QString::number(window->ProgressBar().Position) +
                           QStringLiteral("% ") + engine.DlgCompleted);
    const std::uint32_t elapsed = engine.TickCount() - startTick;
    const double rate = static_cast<double>(done) / (static_cast<double>(elapsed) + 1.0) * 1000.0;
    const QString& rateText =
        rateLine.Line({engine.DlgRateLabel, FormatRate(static_cast<std::uint64_t>(std::nearbyint(rate)))});
    window->SetRateAndTime(
        rateText,
        timeLine.Line({engine.DlgTimeLabel, FormatTimeLeft(engine.TickCount() - startTick, done, total)}));
}

void ProcessPendingInput(TWebCopy& engine) {
    ProcessPendingInput(engine, engine.ProgressWindow().get());
}

void ProcessPendingInput(TWebCopy& engine, TProgressWindow* window) {
    if (window && window->TakeCancelPress() && engine.OnCopyCancel)
        engine.OnCopyCancel(&engine);
}

} // namespace TransferSteps
