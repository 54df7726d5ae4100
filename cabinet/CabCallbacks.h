#pragma once

#include "Fdi.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel {

class TCABFile;

// The output handle of a file that is only checked, never written.
constexpr Fdi::FileHandle kSinkHandle = INTPTR_MAX;

// File, memory and notification callbacks of an extraction. Files are POSIX
// descriptors; write, close and seek show the system's error text when they
// fail (and only then). Nothing here is shared between extractions: each
// carries its component in its own callbacks and notifications, so
// extractions may run on several threads at once.
void* CabAlloc(std::size_t size);
void CabFree(void* block);
Fdi::FileHandle CabOpen(const std::string& name, int flags, int mode);
std::int64_t CabRead(Fdi::FileHandle handle, void* buffer, std::uint32_t count);
// Writes through the component's file operations and reports its progress;
// without a component, through the system's and unreported.
std::int64_t CabWrite(Fdi::FileHandle handle, const void* buffer, std::uint32_t count,
                      TCABFile* cab = nullptr);
int CabClose(Fdi::FileHandle handle);
std::int64_t CabSeek(Fdi::FileHandle handle, std::int64_t distance, int origin);
Fdi::FileHandle CabNotify(Fdi::TNotificationType type, Fdi::TNotification& notification);

// The callbacks above as one set, writing for `cab` (null: for no component).
Fdi::TCallbacks CabCallbacks(TCABFile* cab = nullptr);

} // namespace quorvel
