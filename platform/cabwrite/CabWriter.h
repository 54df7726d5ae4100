#pragma once

#include <string>
#include <vector>

namespace quorvel {

// Writes a cabinet of files (MSZIP compressed, one folder), each read from a
// file on disk as it is written, never held whole.
namespace CabWriter {

struct TEntry {
    std::string name; // the name inside the cabinet
    std::string path; // the file it is read from
};

// Writes the cabinet to `path` (replacing what stands there), the entries in
// the order given. False with a text in *error when it cannot be written.
bool Write(const std::string& path, const std::vector<TEntry>& entries, std::string* error = nullptr);

} // namespace CabWriter

} // namespace quorvel
