#include "TransferSteps.h"

#include "WebCopy.h"

#include <QFileInfo>

#include <cmath>

namespace TransferSteps {

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
    const auto window = engine.ProgressWindow();
    if (window) {
        QString line = engine.DlgProgressLabel + QLatin1Char(' ') + FormatSize(done);
        if (total > 0) {
            const double percent = static_cast<double>(done) * 100.0 / static_cast<double>(total);
            window->SetBarPosition(static_cast<int>(std::nearbyint(percent)));
            line += QLatin1Char(' ') + engine.DlgFileOfLabel + QLatin1Char(' ') + FormatSize(total);
        }
        window->SetProgressLabel(line);
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
    window->SetRateLabel(engine.DlgRateLabel + QLatin1Char(' ') +
                         FormatRate(static_cast<std::uint64_t>(std::nearbyint(rate))));
    window->SetTimeLabel(engine.DlgTimeLabel + QLatin1Char(' ') +
                         FormatTimeLeft(engine.TickCount() - startTick, done, total));
}

void ProcessPendingInput(TWebCopy& engine) {
    const auto window = engine.ProgressWindow();
    if (window && window->TakeCancelPress() && engine.OnCopyCancel)
        engine.OnCopyCancel(&engine);
}

} // namespace TransferSteps
