#pragma once

#include <QString>
#include <functional>

namespace quorvel {

// Opens a file or folder with the program the desktop associates with it.
// Failures are not reported (the caller has nothing to do about them).
using ShellOpenHandler = std::function<void(const QString& path)>;

void ShellOpen(const QString& path);

// Replaces the opener (tests record the calls); an empty handler restores it.
ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler);

} // namespace quorvel
