#pragma once

#include "QuorvelExport.h"

#include <QString>

namespace quorvel {

// Creates a folder and its missing parents ("/" or "\" between names);
// true when it exists afterwards.
QUORVEL_EXPORT bool ForceDirs(const QString& path);
// True when path names an existing folder.
QUORVEL_EXPORT bool DirExists(const QString& path);
// Shows the system's text for an error number in a warning box titled
// "Error"; does nothing for 0.
QUORVEL_EXPORT void ShowSystemError(int code);

} // namespace quorvel
