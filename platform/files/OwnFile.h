#pragma once

#include <cstddef>
#include <string>

namespace quorvel {

// Small files of ours in a folder others may share (a record, a kept key
// document): believed only when they are regular files of the running user
// with one link, opened without following a link and without waiting on a
// FIFO planted at the name.
namespace OwnFile {

enum class TRead {
    Found,      // text holds the whole file
    Missing,    // nothing stands at the name
    Untrusted,  // a link, another kind of file, another user's, or a second name of one
    Unreadable, // it could not be read (permissions, an I/O error)
    TooLarge,   // longer than the caller allows
};

// Reads the file at path, at most maxSize bytes.
TRead Read(const std::string& path, std::size_t maxSize, std::string& text);

} // namespace OwnFile

} // namespace quorvel
