#pragma once

#include <cstddef>
#include <string>

// Bytes for transfer and file tests: every value occurs, and the sequence
// drifts every 509 bytes so that a block read or written at the wrong offset
// does not compare equal. seed gives a different file of the same size.
inline std::string Pattern(std::size_t size, int seed = 0) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 13 + i / 509 + static_cast<std::size_t>(seed)) & 0xFF);
    return bytes;
}
