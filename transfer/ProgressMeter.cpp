#include "ProgressMeter.h"

#include "ProgressFormat.h"
#include "WebCopy.h"

namespace quorvel {

TProgressMeter::TTexts TProgressMeter::Next(const TWebCopy& engine, std::uint64_t done, std::uint64_t total) {
    const std::uint32_t now = engine.TickCount();
    if (!m_started) {
        m_started = true;
        m_startTick = now;
        m_startDone = done;
    }
    // An amount below the first one (a source that started over) has moved
    // nothing yet, rather than an unsigned wrap's enormous rate.
    const std::uint64_t moved = done > m_startDone ? done - m_startDone : 0;
    return {ProgressPercent(done, total), ProgressLine(engine, done, total),
            RateLine(engine, BytesPerSecond(moved, now - m_startTick))};
}

QString TProgressMeter::ProgressLine(const TWebCopy& engine, std::uint64_t done, std::uint64_t total) {
    return engine.DlgProgressLabel + QLatin1Char(' ') + FormatSize(done) + QLatin1Char(' ') +
           engine.DlgFileOfLabel + QLatin1Char(' ') + FormatSize(total);
}

QString TProgressMeter::RateLine(const TWebCopy& engine, std::uint64_t bytesPerSecond) {
    return engine.DlgRateLabel + QLatin1Char(' ') + FormatRate(bytesPerSecond);
}

} // namespace quorvel
