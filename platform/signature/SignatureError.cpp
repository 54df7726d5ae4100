#include "SignatureError.h"

#include <openssl/err.h>

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
        return "The signature does not match the file and key";
    case kCannotRead:
        return "The file cannot be read";
    case kCannotWrite:
        return "The file cannot be written";
    case kLibrary:
        return "The cryptography library failed";
    default:
        return "Unknown signature error " + std::to_string(code);
    }
}

} // namespace SignatureError
