#include "TSha512.h"

#include "SignatureError.h"

#include <openssl/evp.h>

#include <QByteArray>

#include <algorithm>

namespace quorvel {

struct TSha512::Impl {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~Impl() { EVP_MD_CTX_free(context); }
};

TSha512::TSha512() : m_impl(std::make_unique<Impl>()) {
    Reset();
}
TSha512::~TSha512() = default;
TSha512::TSha512(TSha512&&) noexcept = default;
TSha512& TSha512::operator=(TSha512&&) noexcept = default;

void TSha512::Reset() {
    m_size = 0;
    m_ok = m_impl->context && EVP_DigestInit_ex(m_impl->context, EVP_sha512(), nullptr) == 1;
    if (!m_ok)
        SignatureErrorFromLibrary();
}

bool TSha512::Update(const void* data, std::size_t size) {
    if (m_ok && size > 0 && EVP_DigestUpdate(m_impl->context, data, size) != 1) {
        SignatureErrorFromLibrary();
        m_ok = false;
    }
    m_size += size;
    return m_ok;
}

bool TSha512::Final(Digest& digest) {
    unsigned int length = 0;
    if (m_ok && (EVP_DigestFinal_ex(m_impl->context, digest.data(), &length) != 1 || length != kSize)) {
        SignatureErrorFromLibrary();
        m_ok = false;
    }
    const bool ok = m_ok;
    // The context is spent: a further Update starts nowhere useful.
    m_ok = false;
    return ok;
}

std::string TSha512::Hex(const Digest& digest) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(digest.data()), kSize).toHex().toStdString();
}

std::optional<TSha512::Digest> TSha512::FromHex(std::string_view text) {
    if (text.size() != 2 * kSize || !std::all_of(text.begin(), text.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        }))
        return std::nullopt;
    const QByteArray bytes =
        QByteArray::fromHex(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    Digest digest{};
    std::copy(bytes.begin(), bytes.end(), digest.begin());
    return digest;
}

} // namespace quorvel
