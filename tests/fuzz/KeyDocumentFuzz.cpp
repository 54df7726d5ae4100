// Feeds arbitrary bytes as a key document, and checks that whatever is
// accepted is exactly the one text of what was read, and that a document no
// root here signed never moves a key state on.
#include "SignatureError.h"
#include "TKeyDocument.h"
#include "TKeyState.h"
#include "TPublicKey.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto document = TKeyDocument::Parse(text);
    if (document) {
        if (document->Text() != text)
            std::abort();
        const auto again = TKeyDocument::Parse(document->Text());
        if (!again || again->Facts() != document->Facts() || again->Text() != text)
            std::abort();
    }
    TPublicKey::Bytes rootBytes{};
    rootBytes[0] = 1;
    TKeyState state(document ? document->Facts().product : "Quorvel", {TPublicKey(rootBytes)}, 1);
    if (state.Advance(text) == SignatureError::kNone || state.Number() != 0)
        std::abort();
    return 0;
}
