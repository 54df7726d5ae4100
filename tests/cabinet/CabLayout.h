#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The data-block checksum: 32-bit little-endian words XORed, the tail bytes
// folded in most significant first.
std::uint32_t CabChecksum(const unsigned char* p, std::size_t n, std::uint32_t seed);

// A cabinet taken apart into its header fields, folders, file table and data
// blocks, and put together again with changes: reserved areas, a second
// folder, a place in a set, or fields no writer would set. Blocks are moved
// whole, so their checksums stay valid.
struct CabLayout {
    static constexpr std::uint16_t kFromPrev = 0xFFFD;
    static constexpr std::uint16_t kToNext = 0xFFFE;
    static constexpr std::uint16_t kPrevAndNext = 0xFFFF;

    struct Block {
        std::uint32_t checksum = 0;
        std::uint16_t uncompressed = 0; // 0: the block goes on in the next part
        std::string data;
        void Sum(); // sets the checksum for data and sizes
    };
    struct Folder {
        std::uint16_t compression = 0; // 0 stored, 1 MSZIP
        std::vector<Block> blocks;
    };
    struct File {
        std::uint32_t size = 0;
        std::uint32_t offset = 0; // in its folder's uncompressed bytes
        std::uint16_t folder = 0;
        std::uint16_t date = 0, time = 0, attribs = 0x20;
        std::string name;
    };

    std::uint16_t setId = 0;
    std::uint16_t index = 0;
    std::string prevName, nextName; // the set's neighbours; empty: none
    bool reserve = false;           // writes the reserved-area sizes (even all 0); without it they must be 0
    std::uint16_t headerReserve = 0;
    std::uint8_t folderReserve = 0, dataReserve = 0;
    std::vector<Folder> folders;
    std::vector<File> files;

    // Parses a whole cabinet; throws std::runtime_error when it is none.
    static CabLayout Read(const std::string& bytes);
    std::string Build() const;

    // Adds other's folders and files after this one's.
    void Append(const CabLayout& other);
    // Cuts a one-folder cabinet into the parts of a set named `names`, one
    // more than `cuts`: each cut splits the data block of that index between
    // two parts, as set writers do. Files are listed, as continued, in every
    // part whose data they touch.
    std::vector<CabLayout> SplitSet(const std::vector<std::size_t>& cuts,
                                    const std::vector<std::string>& names) const;
};
