#include "TDeltaManifest.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorvel;

// Any text either is refused or reads into a manifest that formats back to
// exactly that text (one text per manifest).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TDeltaManifest manifest;
    if (TDeltaManifest::Parse(text, manifest) && manifest.Format() != text)
        std::abort();
    return 0;
}
