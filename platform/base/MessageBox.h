#pragma once

#include "QuorvelExport.h"

#include <QString>
#include <functional>

namespace quorvel {

enum class TMessageKind { Information, Warning, Error };

// Every message box of the system goes through ShowMessageBox, so that tests
// can record messages instead of blocking on a modal box. The boxes on screen
// come from platform_core, which installs them as the view when a program
// linking it starts; a program without it (a console program linking the
// engine or the update alone) shows none and loads no widget library.
using MessageBoxHandler = std::function<void(const QString& title, const QString& text, TMessageKind kind)>;

// Shows a modal box with one OK button (or whatever the installed handler does;
// nothing when neither a handler nor a view is installed).
// Safe to call from any thread: off the GUI thread the box is shown on the
// GUI thread and the call waits for it.
QUORVEL_EXPORT void ShowMessageBox(const QString& title, const QString& text, TMessageKind kind);

// Installs a handler and returns the previous one; an empty handler restores
// the real boxes.
QUORVEL_EXPORT MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Installs what shows the boxes when no handler is set (platform_core's
// modal boxes).
QUORVEL_EXPORT void SetMessageBoxView(MessageBoxHandler view);

} // namespace quorvel
