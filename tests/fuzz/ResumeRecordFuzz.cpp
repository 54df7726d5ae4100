// Feeds arbitrary bytes as a kept download's resume record. An accepted
// record must be one that could have been written: its text reads back as
// the same record, and it never trusts more bytes than its total.
#include "ResumeRecord.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto record = ResumeRecord::Parse(std::string(reinterpret_cast<const char*>(data), size));
    if (!record)
        return 0;
    const std::string text = record->Text();
    if (text.empty() || ResumeRecord::Parse(text) != record)
        std::abort();
    if (record->TrustedLength(UINT64_MAX) > record->total || record->flushed > record->total)
        std::abort();
    return 0;
}
