#include "SignatureError.h"

#include <openssl/err.h>

namespace quorvel {

SignatureError SignatureErrorFromLibrary() {
    SignatureError code = SignatureError::kLibrary;
    bool first = true;
    while (const unsigned long error = ERR_get_error()) {
        if (first) {
            const int library = ERR_GET_LIB(error);
            if (library == ERR_LIB_PEM || library == ERR_LIB_ASN1 || library == ERR_LIB_OSSL_DECODER ||
                library == ERR_LIB_EC)
                code = SignatureError::kBadKey;
            first = false;
        }
    }
    return code;
}

std::string SignatureErrorText(SignatureError code) {
    switch (code) {
    case SignatureError::kNone:
        return "The signature is valid";
    case SignatureError::kBadKey:
        return "The key is not a valid Ed25519 key";
    case SignatureError::kBadSignature:
        return "The signature file is malformed: it must hold one line, the base64 of a 64-byte signature";
    case SignatureError::kMismatch:
        return "The signature does not verify with the key";
    case SignatureError::kCannotRead:
        return "The file cannot be read";
    case SignatureError::kCannotWrite:
        return "The file cannot be written";
    case SignatureError::kLibrary:
        return "The cryptography library failed";
    case SignatureError::kBadStatement:
        return "The release statement is malformed";
    case SignatureError::kOtherProduct:
        return "The release statement is for another product";
    case SignatureError::kExpired:
        return "The release statement has expired";
    case SignatureError::kPassphrase:
        return "The key file is encrypted and its passphrase is missing or wrong";
    case SignatureError::kPackageMismatch:
        return "The package's size or SHA-512 digest is not the one the release statement gives";
    case SignatureError::kOtherPackage:
        return "The release statement is for another package or channel";
    case SignatureError::kOtherBase:
        return "The release statement is for a delta package where a full one is wanted, or the reverse, or "
               "for "
               "a delta from another release";
    case SignatureError::kExpiresTooLate:
        return "The statement expires too far ahead of now";
    case SignatureError::kReleaseTooFar:
        return "The release is further above the installed one than one update may go";
    case SignatureError::kNoKeyDocument:
        return "No key document has been taken yet";
    case SignatureError::kBadDocument:
        return "The key document or freshness statement is malformed";
    case SignatureError::kNotNextDocument:
        return "The key document is not the next one";
    case SignatureError::kTooFewSigners:
        return "The key document is not signed by enough root keys";
    case SignatureError::kKeysBehind:
        return "The freshness statement names a key document newer than the newest one taken";
    case SignatureError::kNotNewest:
        return "The release statement is not of the newest release the freshness statement names";
    default:
        return "Unknown signature error " + std::to_string(static_cast<int>(code));
    }
}

} // namespace quorvel
