#include "TWindowUpdates.h"

#include <QMetaObject>

namespace quorvel {

TWindowUpdates::TWindowUpdates(QObject* receiver, std::function<void(const TWindowChanges&)> apply)
    : m_receiver(receiver), m_apply(std::move(apply)) {}

void TWindowUpdates::Post(const std::function<void(TWindowChanges&)>& change) {
    bool queue = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        change(m_pending);
        queue = !m_queued;
        m_queued = true;
    }
    // The queued call also wakes the wait of "Start", which sleeps until an
    // event arrives.
    if (queue)
        QMetaObject::invokeMethod(
            m_receiver, [this] { Deliver(); }, Qt::QueuedConnection);
}

void TWindowUpdates::Flush() {
    Deliver();
}

void TWindowUpdates::Deliver() {
    TWindowChanges changes;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        changes = std::move(m_pending);
        m_pending = TWindowChanges{};
        m_queued = false;
    }
    m_apply(changes);
}

} // namespace quorvel
