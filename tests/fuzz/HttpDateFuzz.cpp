// Feeds arbitrary header values to the HTTP date reader: it must either
// refuse them or give fields that a date-time value can hold.
#include "DateTime.h"
#include "HttpDate.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TDateFields fields;
    if (!HttpDate::Parse(std::string_view(reinterpret_cast<const char*>(data), size), fields))
        return 0;
    try {
        DateTime::Encode(fields);
    } catch (const EConvertError&) {
        std::abort(); // an accepted date must be a real calendar value
    }
    return 0;
}
