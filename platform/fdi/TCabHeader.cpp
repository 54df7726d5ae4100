#include "TCabHeader.h"

#include <cstring>

namespace quorvel {

namespace Fdi {
namespace {

std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint16_t kFlagPrev = 0x0001;
constexpr std::uint16_t kFlagNext = 0x0002;
constexpr std::uint16_t kFlagReserve = 0x0004;
constexpr std::size_t kMaxName = 256;

} // namespace

bool TCabHeader::ReadExact(const TCallbacks& io, FileHandle handle, void* buffer, std::uint32_t count) {
    return io.read(handle, buffer, count) == static_cast<std::int64_t>(count);
}

bool TCabHeader::ReadString(const TCallbacks& io, FileHandle handle, std::string& text) {
    text.clear();
    for (std::size_t i = 0; i <= kMaxName; ++i) {
        char c = 0;
        if (!ReadExact(io, handle, &c, 1))
            return false;
        if (c == '\0')
            return true;
        text.push_back(c);
    }
    return false;
}

bool TCabHeader::ReadHeader(const TCallbacks& io, FileHandle handle) {
    m_start = io.seek(handle, 0, soCurrent);
    if (m_start < 0)
        return false;
    unsigned char h[36];
    if (!ReadExact(io, handle, h, sizeof h) || std::memcmp(h, "MSCF", 4) != 0)
        return false;
    if (h[25] != 1 || h[24] != 3) // version 1.3
        return false;
    const std::uint16_t flags = Le16(h + 30);
    m_info.cbCabinet = Le32(h + 8);
    m_filesOffset = Le32(h + 16);
    m_info.cFolders = Le16(h + 26);
    m_info.cFiles = Le16(h + 28);
    m_info.setID = Le16(h + 32);
    m_info.iCabinet = Le16(h + 34);
    m_info.hasprev = (flags & kFlagPrev) != 0;
    m_info.hasnext = (flags & kFlagNext) != 0;
    m_info.fReserve = (flags & kFlagReserve) != 0;
    return true;
}

bool TCabHeader::ReadFiles(const TCallbacks& io, FileHandle handle) {
    m_files.clear();
    if (io.seek(handle, m_start + m_filesOffset, soBeginning) < 0)
        return false;
    m_files.reserve(m_info.cFiles);
    for (unsigned i = 0; i < m_info.cFiles; ++i) {
        unsigned char f[16];
        if (!ReadExact(io, handle, f, sizeof f))
            return false;
        TFileEntry entry;
        entry.length = Le32(f);
        entry.offset = Le32(f + 4);
        entry.folder = Le16(f + 8);
        if (!ReadString(io, handle, entry.name))
            return false;
        m_files.push_back(std::move(entry));
    }
    return true;
}

bool TCabHeader::ContinuesFromPrev(const TFileEntry& file) const {
    return file.folder == kContinuedFromPrev || file.folder == kPrevAndNext;
}

bool TCabHeader::ContinuesToNext(const TFileEntry& file) const {
    return file.folder == kContinuedToNext || file.folder == kPrevAndNext;
}

} // namespace Fdi

} // namespace quorvel
