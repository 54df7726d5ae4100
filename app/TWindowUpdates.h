#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

namespace quorvel {

// Changes that the engine's handlers, running on the worker thread, make to
// the main window. They are collected here and applied on the GUI thread by
// at most one pending queued call: a fast download that raises thousands of
// progress events costs the GUI one update per turn of its event loop, and
// the GUI always applies the latest values.
struct TWindowChanges {
    std::optional<bool> startEnabled;
    std::optional<int> barMax;
    std::optional<int> barPosition;
    std::optional<QString> progressText;
    std::optional<QString> rateText;
    std::optional<QString> instructionText;
};

class TWindowUpdates {
public:
    // apply runs on receiver's thread with the changes gathered since the last call.
    TWindowUpdates(QObject* receiver, std::function<void(const TWindowChanges&)> apply);

    // Merges a change (from any thread) and makes sure one update is pending.
    void Post(const std::function<void(TWindowChanges&)>& change);

    // Applies what is pending now, on the receiver's thread (used before
    // reading the window after a wait).
    void Flush();

private:
    void Deliver();

    QObject* m_receiver;
    std::function<void(const TWindowChanges&)> m_apply;
    std::mutex m_mutex;
    TWindowChanges m_pending;
    bool m_queued = false;
};

} // namespace quorvel
