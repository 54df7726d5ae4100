#pragma once

#include <array>
#include <string>

// The SHA-512 digest of a whole file, read in blocks (never whole).
namespace FileDigest {

using Sha512 = std::array<unsigned char, 64>;

// Returns a SignatureError code: kNone with the digest set, kCannotRead when
// the file cannot be opened or read (a folder included), kLibrary.
int OfFile(const std::string& path, Sha512& digest);

} // namespace FileDigest
