// Feeds arbitrary bytes as a signature file and as a public key text, and
// checks that whatever is accepted is exactly the canonical text of what was
// read, and that a random signature does not verify.
#include "FileDigest.h"
#include "SignatureError.h"
#include "TPublicKey.h"
#include "TSignature.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto signature = TSignature::Parse(text)) {
        const std::string canonical = signature->Text();
        // One line ending at most, and nothing else besides the text.
        if (text != canonical && text != canonical.substr(0, canonical.size() - 1) &&
            text != canonical.substr(0, canonical.size() - 1) + "\r\n")
            std::abort();
        if (TSignature::Parse(canonical) != signature)
            std::abort();
        const FileDigest::Sha512 digest{};
        TPublicKey::Bytes keyBytes{};
        keyBytes[0] = 1;
        if (TPublicKey(keyBytes).VerifyDigest(digest, *signature) == SignatureError::kNone)
            std::abort();
    }
    if (const auto key = TPublicKey::FromBase64(text)) {
        if (TPublicKey::FromBase64(key->Base64()) != key)
            std::abort();
    }
    return 0;
}
