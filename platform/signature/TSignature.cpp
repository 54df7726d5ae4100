#include "TSignature.h"

#include "Base64.h"

#include <algorithm>

namespace quorvel {

std::optional<TSignature> TSignature::Parse(std::string_view text) {
    if (text.size() > kMaxTextSize)
        return std::nullopt;
    const auto bytes = Base64::DecodeExact(Base64::WithoutLineEnd(text), kSize);
    if (!bytes)
        return std::nullopt;
    Bytes data;
    std::copy(bytes->begin(), bytes->end(), data.begin());
    return TSignature(data);
}

std::string TSignature::Text() const {
    return Base64::Encode(std::string_view(reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size())) +
           "\n";
}

} // namespace quorvel
