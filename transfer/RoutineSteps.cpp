#include "RoutineSteps.h"

#include "InetError.h"

#include "ProgressMeter.h"
#include "WebCopyErrors.h"
#include "WebCopyRun.h"

#include <QFileInfo>

namespace quorvel {

namespace RoutineSteps {

QString FormTargetPath(TWebCopy& engine, const QString& targetDir, const QString& targetFilename,
                       const QString& source) {
    const std::string name =
        targetFilename.isEmpty() ? UrlFileName(source.toStdString()) : targetFilename.toStdString();
    const QString targetPath =
        QString::fromStdString(LocalPath(JoinTargetPath(targetDir.toStdString(), name)));
    TWebCopyRun::SetLastTarget(engine, targetPath,
                               QString::fromStdString(LocalPath(targetDir.toStdString())));
    return targetPath;
}

bool AllowOverwrite(TWebCopy& engine, const QString& targetPath) {
    if (!QFileInfo::exists(QString::fromStdString(LocalPath(targetPath.toStdString()))) ||
        !engine.OnCopyOverWrite)
        return true;
    bool allow = true;
    engine.OnCopyOverWrite(&engine, targetPath, allow);
    return allow;
}

void CopyProgressStep(TWebCopy& engine, std::uint64_t done, std::uint64_t total, std::uint32_t startTick,
                      const QString& verb) {
    TWebCopyRun::RaiseCopyProgress(engine, done, total);
    const auto window = engine.ProgressWindow();
    if (!window)
        return;
    window->SetBarPosition(total > 0 ? ProgressPercent(done, total) : 100);
    window->SetProgressLabel(TProgressMeter::ProgressLine(engine, done, total));
    window->SetRateLabel(
        TProgressMeter::RateLine(engine, BytesPerSecond(done, engine.TickCount() - startTick)));
    if (engine.ShowCompletion)
        window->SetCaption(verb + QStringLiteral(" : ") + QString::number(window->ProgressBar().Position) +
                           QStringLiteral("% ") + engine.DlgCompleted);
    window->SetTimeLabel(engine.DlgTimeLabel + QLatin1Char(' ') +
                         FormatTimeLeft(engine.TickCount() - startTick, done, total));
}

bool CheckSourceDate(TWebCopy& engine, int idx, TDateTime sourceDate, const QString& name, TDateTime& date,
                     bool& noNewFile, DateOnRefusal onRefusal) {
    if (engine.OnFileDateCheck) {
        const TDateTime before = date;
        date = sourceDate;
        bool allow = true;
        engine.OnFileDateCheck(&engine, idx, sourceDate, allow);
        if (!allow && onRefusal == DateOnRefusal::Kept)
            date = before;
        return allow;
    }
    if (sourceDate > date) {
        date = sourceDate;
        return true;
    }
    noNewFile = true;
    date = sourceDate;
    TWebCopyRun::RaiseNoNewFileFound(engine, name, date, sourceDate);
    return false;
}

void ReportInetError(TWebCopy& engine, InetError code) {
    if (code == InetError::kNone)
        code = InetError::kConnectionAborted;
    TWebCopyRun::ReportError(engine, WebCopyErrorFromInet(code), QString::fromStdString(InetErrorText(code)));
}

} // namespace RoutineSteps

} // namespace quorvel
