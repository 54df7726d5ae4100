#pragma once

#include <string>

namespace quorvel {

// Error codes of the signature layer. OpenSSL's errors are turned into these
// in one place (SignatureError.cpp). A type of its own, so that a signature
// code is never taken for another layer's code of the same number.
enum class SignatureError {

    kNone = 0,
    kBadKey = 1,           // a key that is not one: wrong length, bad base64, not Ed25519
    kBadSignature = 2,     // a signature text that is not base64 of 64 bytes on one line
    kMismatch = 3,         // well-formed, but does not verify over the file
    kCannotRead = 4,       // a file (package or key) cannot be read
    kCannotWrite = 5,      // a file cannot be created or written
    kLibrary = 6,          // the cryptography library failed internally
    kBadStatement = 7,     // a release statement that is not one: see TReleaseStatement
    kOtherProduct = 8,     // a release statement, signed, for another product
    kExpired = 9,          // a release statement, signed, whose expiry time has passed
    kPassphrase = 10,      // an encrypted key file without its passphrase, or with a wrong one
    kPackageMismatch = 11, // a package whose size or digest is not the one stated
    kOtherPackage = 12,    // a release statement, signed, for another package or channel
    kOtherBase = 13,       // a delta statement where a full one is wanted, or the reverse
    kExpiresTooLate = 14,  // a statement, signed, whose expiry is further ahead than allowed
    kReleaseTooFar = 15,   // a release further above the installed one than one update may go
    kNoKeyDocument = 16,   // statements asked about before any key document was taken
    kBadDocument = 17,     // a key document or freshness statement that is not one
    kNotNextDocument = 18, // a key document not numbered one above the current one
    kTooFewSigners = 19,   // a key document signed by fewer root keys than the threshold
    kKeysBehind = 20,      // a freshness statement naming a key document not yet taken
    kNotNewest = 21,       // a release statement not of the release the freshness statement names
};

// Takes every pending error of the cryptography library off its per-thread
// queue (so none is left for a later call to trip over) and gives ours:
// kBadKey for errors of decoding a key, kLibrary for the rest.
SignatureError SignatureErrorFromLibrary();

// A readable text for one of our codes, never empty.
std::string SignatureErrorText(SignatureError code);

} // namespace quorvel
