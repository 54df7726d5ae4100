#pragma once

#include <string>

namespace quorvel {

// Error codes of the signature layer. OpenSSL's errors are turned into these
// in one place (SignatureError.cpp).
namespace SignatureError {

constexpr int kNone = 0;
constexpr int kBadKey = 1;           // a key that is not one: wrong length, bad base64, not Ed25519
constexpr int kBadSignature = 2;     // a signature text that is not base64 of 64 bytes on one line
constexpr int kMismatch = 3;         // well-formed, but does not verify over the file
constexpr int kCannotRead = 4;       // a file (package or key) cannot be read
constexpr int kCannotWrite = 5;      // a file cannot be created or written
constexpr int kLibrary = 6;          // the cryptography library failed internally
constexpr int kBadStatement = 7;     // a release statement that is not one: see TReleaseStatement
constexpr int kOtherProduct = 8;     // a release statement, signed, for another product
constexpr int kExpired = 9;          // a release statement, signed, whose expiry time has passed
constexpr int kPassphrase = 10;      // an encrypted key file without its passphrase, or with a wrong one
constexpr int kPackageMismatch = 11; // a package whose size or digest is not the one stated
constexpr int kOtherPackage = 12;    // a release statement, signed, for another package or channel
constexpr int kOtherBase = 13;       // a delta statement where a full one is wanted, or the reverse
constexpr int kExpiresTooLate = 14;  // a statement, signed, whose expiry is further ahead than allowed
constexpr int kReleaseTooFar = 15;   // a release further above the installed one than one update may go
constexpr int kNoKeyDocument = 16;   // statements asked about before any key document was taken
constexpr int kBadDocument = 17;     // a key document or freshness statement that is not one
constexpr int kNotNextDocument = 18; // a key document not numbered one above the current one
constexpr int kTooFewSigners = 19;   // a key document signed by fewer root keys than the threshold
constexpr int kKeysBehind = 20;      // a freshness statement naming a key document not yet taken
constexpr int kNotNewest = 21;       // a release statement not of the release the freshness statement names

// Takes every pending error of the cryptography library off its per-thread
// queue (so none is left for a later call to trip over) and gives ours:
// kBadKey for errors of decoding a key, kLibrary for the rest.
int FromLibrary();

// A readable text for one of our codes, never empty.
std::string Text(int code);

} // namespace SignatureError

} // namespace quorvel
