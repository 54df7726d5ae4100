#include "Base64.h"

#include <QByteArray>

namespace quorvel {

namespace Base64 {

std::string Encode(std::string_view bytes) {
    const QByteArray encoded =
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64();
    return encoded.toStdString();
}

std::optional<std::string> DecodeExact(std::string_view text, std::size_t size) {
    const std::size_t expected = (size + 2) / 3 * 4;
    if (text.size() != expected)
        return std::nullopt;
    const QByteArray input(text.data(), static_cast<qsizetype>(text.size()));
    const auto decoded = QByteArray::fromBase64Encoding(input, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || static_cast<std::size_t>(decoded.decoded.size()) != size)
        return std::nullopt;
    // The decoder accepts stray low bits and missing padding; the canonical
    // form is what encoding the result gives back.
    if (decoded.decoded.toBase64() != input)
        return std::nullopt;
    return decoded.decoded.toStdString();
}

std::string_view WithoutLineEnd(std::string_view text) {
    if (text.ends_with("\r\n"))
        text.remove_suffix(2);
    else if (text.ends_with('\n'))
        text.remove_suffix(1);
    return text;
}

} // namespace Base64

} // namespace quorvel
