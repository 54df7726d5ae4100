#pragma once

#include "QuorvelExport.h"

#include <QString>

#include <cstdint>

namespace quorvel {

class TWebCopy;

// The progress window's bar and its byte and rate lines, worded with an
// engine's labels exactly as the engine shows a download of a known total:
// "Progress : 45.00 Kb of 90.00 Kb", "Transfer rate : 1.50 Kb/sec". A meter
// serves amounts that move outside the engine's own transfers (a delta the
// update applies); its rate counts from the first amount after Restart, so
// that bytes kept from an earlier run do not inflate it.
class QUORVEL_EXPORT TProgressMeter {
public:
    struct TTexts {
        int percent = 0;
        QString progress;
        QString rate;
    };

    // The next amount starts the rate's clock.
    void Restart() { m_started = false; }
    TTexts Next(const TWebCopy& engine, std::uint64_t done, std::uint64_t total);

    static QString ProgressLine(const TWebCopy& engine, std::uint64_t done, std::uint64_t total);
    static QString RateLine(const TWebCopy& engine, std::uint64_t bytesPerSecond);

private:
    bool m_started = false;
    std::uint32_t m_startTick = 0;
    std::uint64_t m_startDone = 0;
};

} // namespace quorvel
