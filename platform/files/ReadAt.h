#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// Reads `count` bytes at `offset` of `fd`, going on after short reads and
// interruptions, so a caller sees either the bytes asked for, fewer only at
// the end of the file, or -1 for a failed read. The file position is left
// alone, so readers sharing the descriptor do not disturb each other.
std::int64_t ReadAt(int fd, void* buffer, std::size_t count, std::int64_t offset);

} // namespace quorvel
