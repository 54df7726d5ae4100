#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes small cabinets by hand: one folder of stored (uncompressed) blocks,
// for the cases that no cabinet tool produces.
struct CabBuilder {
    struct File {
        std::string name;
        std::string data;
        std::uint16_t date = 0x2A6C; // 2001-03-12
        std::uint16_t time = 0x5A79; // 11:19:50
    };
    std::vector<File> files;
    bool checksums = true; // false writes 0 ("no checksum")
    int corruptBlock = -1; // flips a data byte of this block after its checksum
    std::size_t blockSize = 32768;

    std::string Build() const;
    void Write(const std::string& path) const;
};
