#pragma once

#include "WebCopy.h"

#include <atomic>
#include <functional>
#include <memory>

namespace quorvel {

// The engine's run state and event raising as its routines (the free
// functions of transfer/) and the tests reach them. TWebCopy keeps them
// private and names this class its friend; this header is not among the
// installed ones, so a program using the library cannot change a run from
// outside. Callers read the run through TWebCopy's getters.
class TWebCopyRun {
public:
    static std::unique_ptr<InetSession>& Session(TWebCopy& engine) { return engine.m_run.Session; }
    static int& CurrentNumber(TWebCopy& engine) { return engine.m_run.CurrentNumber; }
    static void ResetCancel(TWebCopy& engine) { engine.ResetCancel(); }
    // The file a routine wrote or sent last, and its folder.
    static void SetLastTarget(TWebCopy& engine, const QString& file, const QString& dir) {
        engine.m_run.LastTargetFile = file;
        engine.m_run.LastTargetDir = dir;
    }
    // Replaces the millisecond clock (empty: the monotonic one), for exact
    // rate and time-left texts in tests. Set it while no run is going on.
    static void SetTickSource(TWebCopy& engine, std::function<std::uint32_t()> source) {
        engine.m_run.TickSource = std::move(source);
    }

    static void SetProgressWindow(TWebCopy& engine, std::shared_ptr<TProgressWindow> window) {
        engine.SetProgressWindow(std::move(window));
    }
    static void RunStarted(TWebCopy& engine, const std::function<void()>& body) { engine.RunStarted(body); }
    static void RunEnded(TWebCopy& engine) { engine.RunEnded(); }

    static void ReportError(TWebCopy& engine, WebCopyError code, const QString& info) {
        engine.ReportError(code, info);
    }
    static void RaiseFileStart(TWebCopy& engine, int idx) { engine.RaiseFileStart(idx); }
    static void RaiseFileDone(TWebCopy& engine, int idx) { engine.RaiseFileDone(idx); }
    static void RaiseCopyDone(TWebCopy& engine) { engine.RaiseCopyDone(); }
    static void RaiseCopyCancel(TWebCopy& engine) { engine.RaiseCopyCancel(); }
    static void RaiseCopyProgress(TWebCopy& engine, std::uint64_t size, std::uint64_t totsize) {
        engine.RaiseCopyProgress(size, totsize);
    }
    static void RaiseConnectError(TWebCopy& engine) { engine.RaiseConnectError(); }
    static void RaiseURLNotFound(TWebCopy& engine, const QString& url) { engine.RaiseURLNotFound(url); }
    static void RaiseNoNewFileFound(TWebCopy& engine, const QString& tgtfile, TDateTime curdate,
                                    TDateTime newdate) {
        engine.RaiseNoNewFileFound(tgtfile, curdate, newdate);
    }
};

} // namespace quorvel
