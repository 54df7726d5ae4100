#pragma once

#include "QuorvelExport.h"

#include "Fdi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

namespace Fdi {

// The parts of a cabinet's header and file table that the decompression
// library does not report: where each file's folder starts and ends across
// a cabinet set. Read through the caller's callbacks, bounded and checked.
class QUORVEL_EXPORT TCabHeader {
public:
    // Folder indexes of files that span cabinets.
    static constexpr std::uint16_t kContinuedFromPrev = 0xFFFD;
    static constexpr std::uint16_t kContinuedToNext = 0xFFFE;
    static constexpr std::uint16_t kPrevAndNext = 0xFFFF;

    struct TFileEntry {
        std::string name;
        std::uint32_t length = 0;
        std::uint32_t offset = 0;
        std::uint16_t folder = 0;
    };

    // Reads the header at the handle's current position; false when it is no
    // cabinet of a known version or ends early.
    bool ReadHeader(const TCallbacks& io, FileHandle handle);
    // Reads the file table too (after ReadHeader, same handle).
    bool ReadFiles(const TCallbacks& io, FileHandle handle);

    const TCabinetInfo& Info() const { return m_info; }
    const std::vector<TFileEntry>& Files() const { return m_files; }
    bool ContinuesFromPrev(const TFileEntry& file) const;
    bool ContinuesToNext(const TFileEntry& file) const;

private:
    bool ReadExact(const TCallbacks& io, FileHandle handle, void* buffer, std::uint32_t count);
    bool ReadString(const TCallbacks& io, FileHandle handle, std::string& text);

    TCabinetInfo m_info;
    std::int64_t m_start = 0;
    std::uint32_t m_filesOffset = 0;
    std::vector<TFileEntry> m_files;
};

} // namespace Fdi

} // namespace quorvel
