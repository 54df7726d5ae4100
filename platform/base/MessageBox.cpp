#include "MessageBox.h"

#include <mutex>

namespace quorvel {

namespace {

std::mutex g_mutex;

// Made on first use: the view is installed while other libraries' statics
// are set up, in an order no one chooses.
MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}
MessageBoxHandler& View() {
    static MessageBoxHandler view;
    return view;
}

} // namespace

void ShowMessageBox(const QString& title, const QString& text, TMessageKind kind) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        handler = Handler() ? Handler() : View();
    }
    if (handler)
        handler(title, text, kind);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    MessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void SetMessageBoxView(MessageBoxHandler view) {
    std::lock_guard<std::mutex> lock(g_mutex);
    View() = std::move(view);
}

} // namespace quorvel
