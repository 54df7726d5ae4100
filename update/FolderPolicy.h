#pragma once

#include "QuorvelExport.h"

#include <QString>

namespace quorvel {

// Which folders an updater may update. A folder under /usr belongs to the
// system's package manager: rewriting it behind the manager's back breaks
// its records and the next upgrade, so a product updated this way lives in a
// folder of its own (for example under /opt).
namespace FolderPolicy {

// True when the folder, its links followed, is /usr or lies below it.
QUORVEL_EXPORT bool IsSystemOwned(const QString& folder);

// True when this user may create, replace and delete files in the folder
// (an existing folder with write and search rights, not on a read-only mount).
QUORVEL_EXPORT bool IsWritable(const QString& folder);

// True when the folder holds a partial download of the package (the
// engine's ".NAME.HASH.part", its ".NAME.HASH.resume" record or that
// record's ".new") that is not a file of the running user's alone: another
// user's, a second name of a file, or no regular file. In a shared folder
// someone else put it there; the engine may neither take nor remove it.
bool HoldsForeignDownload(const QString& folder, const QString& packageName);

// The one-line reason an update of the folder is refused; empty when none.
QUORVEL_EXPORT QString Refusal(const QString& folder);

} // namespace FolderPolicy

} // namespace quorvel
