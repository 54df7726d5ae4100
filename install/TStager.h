#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

class TFileOps;

// What fills the staging folder of a staged install: the files to commit,
// below the staging folder, by the same relative paths they take in the
// product folder.
class TStager {
public:
    virtual ~TStager() = default;

    // How many files and bytes Fill writes, for the check of the disk's room.
    virtual bool Declared(std::uint64_t& files, std::uint64_t& bytes) = 0;
    // Writes the files below the staging folder (open at stagingDir, at the
    // path stagingPath ending in "/") through ops, reading what it needs of
    // the product folder only through productDir. False: nothing usable.
    virtual bool Fill(int productDir, int stagingDir, const std::string& stagingPath, TFileOps& ops) = 0;
};

} // namespace quorvel
