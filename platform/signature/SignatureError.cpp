#include "SignatureError.h"

#include <openssl/err.h>

namespace quorvel {

namespace SignatureError {

int FromLibrary() {
    int code = kLibrary;
    bool first = true;
    while (const unsigned long error = ERR_get_error()) {
        if (first) {
            const int library = ERR_GET_LIB(error);
            if (library == ERR_LIB_PEM || library == ERR_LIB_ASN1 || library == ERR_LIB_OSSL_DECODER ||
                library == ERR_LIB_EC)
                code = kBadKey;
            first = false;
        }
    }
    return code;
}

std::string Text(int code) {
    switch (code) {
    case kNone:
        return "The signature is valid";
    case kBadKey:
        return "The key is not a valid Ed25519 key";
    case kBadSignature:
        return "The signature file is malformed: it must hold one line, the base64 of a 64-byte signature";
    case kMismatch:
        return "The signature does not verify with the key";
    case kCannotRead:
        return "The file cannot be read";
    case kCannotWrite:
        return "The file cannot be written";
    case kLibrary:
        return "The cryptography library failed";
    case kBadStatement:
        return "The release statement is malformed";
    case kOtherProduct:
        return "The release statement is for another product";
    case kExpired:
        return "The release statement has expired";
    case kPassphrase:
        return "The key file is encrypted and its passphrase is missing or wrong";
    case kPackageMismatch:
        return "The package's size or SHA-512 digest is not the one the release statement gives";
    case kOtherPackage:
        return "The release statement is for another package or channel";
    case kOtherBase:
        return "The release statement is for a delta package where a full one is wanted, or the reverse, or "
               "for "
               "a delta from another release";
    case kExpiresTooLate:
        return "The statement expires too far ahead of now";
    case kReleaseTooFar:
        return "The release is further above the installed one than one update may go";
    case kNoKeyDocument:
        return "No key document has been taken yet";
    case kBadDocument:
        return "The key document or freshness statement is malformed";
    case kNotNextDocument:
        return "The key document is not the next one";
    case kTooFewSigners:
        return "The key document is not signed by enough root keys";
    case kKeysBehind:
        return "The freshness statement names a key document newer than the newest one taken";
    case kNotNewest:
        return "The release statement is not of the newest release the freshness statement names";
    default:
        return "Unknown signature error " + std::to_string(code);
    }
}

} // namespace SignatureError

} // namespace quorvel
