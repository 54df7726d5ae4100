// Feeds arbitrary bytes as a freshness statement, and checks that whatever is
// accepted is exactly the one text of what was read, and that a statement
// nobody here signed is never believed.
#include "SignatureError.h"
#include "TFreshnessStatement.h"
#include "TPublicKey.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto statement = TFreshnessStatement::Parse(text);
    if (!statement)
        return 0;
    if (statement->Text() != text)
        std::abort();
    const auto again = TFreshnessStatement::Parse(statement->Text());
    if (!again || again->Facts() != statement->Facts())
        std::abort();
    TPublicKey::Bytes keyBytes{};
    keyBytes[0] = 1;
    if (statement->Verify(TPublicKey(keyBytes)) == SignatureError::kNone)
        std::abort();
    return 0;
}
