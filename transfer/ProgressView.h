#pragma once

#include "QuorvelExport.h"

#include <QString>

#include <functional>
#include <memory>

class QObject;

namespace quorvel {

class TProgressWindow;
struct TProgressWindowSnapshot;

// How the engine reaches a progress window on screen. The engine itself needs
// Qt Core alone; a program that links the progress dialog's library gets the
// dialog installed here when it starts, and one that does not (a console
// program) runs with the window as state only.
namespace ProgressView {

struct QUORVEL_EXPORT Hooks {
    // Makes the on-screen window of a state, on the GUI thread; the window
    // deletes itself once a state it shows is closed.
    std::function<QObject*(std::shared_ptr<TProgressWindow> state)> create;
    // Shows a state in a window that create made.
    std::function<void(QObject* view, const TProgressWindowSnapshot& s)> refresh;
    // Opens a file or folder with the desktop's program (the Open buttons).
    std::function<void(const QString& path)> open;
    // Height of a window title bar, on the GUI thread.
    std::function<int()> captionHeight;
};

// Installs the hooks (the dialog's library does, once).
QUORVEL_EXPORT void Install(Hooks hooks);
// Whether a window on screen is available: hooks installed and a
// QApplication (not a bare QCoreApplication) running.
QUORVEL_EXPORT bool Available();
// The installed hooks; empty functions when none are.
QUORVEL_EXPORT const Hooks& Installed();

} // namespace ProgressView

} // namespace quorvel
