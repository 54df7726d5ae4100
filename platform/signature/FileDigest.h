#pragma once

#include "QuorvelExport.h"

#include "SignatureError.h"
#include "TSha512.h"

#include <cstdint>
#include <string>

namespace quorvel {

// The SHA-512 digest and size of a whole file, read in blocks (never whole).
namespace FileDigest {

using Sha512 = TSha512::Digest;

// Each returns a SignatureError code: kNone with the digest (and size, when
// asked for) set, kCannotRead when the file cannot be opened or read or is
// no regular file, kLibrary.
QUORVEL_EXPORT SignatureError OfFile(const std::string& path, Sha512& digest, std::uint64_t* size = nullptr);
// Reads an open file from its first byte with positioned reads, so the
// descriptor's offset is left where it was.
QUORVEL_EXPORT SignatureError OfDescriptor(int fd, Sha512& digest, std::uint64_t* size = nullptr);

} // namespace FileDigest

} // namespace quorvel
