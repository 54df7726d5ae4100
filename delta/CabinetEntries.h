#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel {

// Reads the entries of a cabinet open at a descriptor (never reopened by
// name) one after the other, handing each entry's bytes to a visitor as they
// are decompressed: nothing is written anywhere and no entry is held whole.
namespace CabinetEntries {

class TVisitor {
public:
    enum class TAnswer { Skip, Take, Stop };
    virtual ~TVisitor() = default;
    // An entry starts: its name, the size the cabinet gives it and whether
    // the cabinet marks it as a program to run.
    virtual TAnswer Begin(const std::string& name, std::uint64_t size, bool executable) = 0;
    // The next bytes of the entry taken; false stops the reading.
    virtual bool Data(const void* data, std::size_t size) = 0;
    // The entry taken has ended; false stops the reading.
    virtual bool End() = 0;
};

// True when the whole cabinet was read and every checksum held; false when
// it could not be read or the visitor stopped it.
bool Read(int fd, TVisitor& visitor);

} // namespace CabinetEntries

} // namespace quorvel
