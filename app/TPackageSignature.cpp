#include "TPackageSignature.h"

#include "InetRequest.h"
#include "InetSession.h"
#include "SignatureError.h"

#include <string>

namespace {

// The text of the signature file at url, or nullopt: no answer, a status
// other than 200, a body longer than a signature file can be, a failed read
// or a cancel.
std::optional<std::string> FetchText(const std::string& url, const std::string& proxy,
                                     const std::atomic<bool>& cancelled) {
    const auto session = InetSession::Open("WebCopy", proxy, &cancelled);
    if (!session || cancelled)
        return std::nullopt;
    InetRequest* request = session->OpenUrl(url, false);
    std::uint32_t status = 0;
    if (!request || !request->QueryStatusCode(status) || status != 200)
        return std::nullopt;
    std::uint64_t length = 0;
    if (request->QueryContentLength(length) && length > TSignature::kMaxTextSize)
        return std::nullopt;
    std::string text;
    char block[512];
    for (;;) {
        std::size_t got = 0;
        if (cancelled || !request->Read(block, sizeof block, got))
            return std::nullopt;
        if (got == 0)
            return text;
        text.append(block, got);
        if (text.size() > TSignature::kMaxTextSize)
            return std::nullopt;
    }
}

} // namespace

TPackageSignature::TPackageSignature(const QString& keyBase64) : m_required(!keyBase64.isEmpty()) {
    if (m_required)
        m_key = TPublicKey::FromBase64(keyBase64.toStdString());
}

bool TPackageSignature::FetchAndCheck(const QString& packageUrl, const QString& packagePath,
                                      const QString& proxy, const std::atomic<bool>& cancelled) {
    m_signature.reset();
    if (!m_key)
        return false;
    const auto text =
        FetchText((packageUrl + QStringLiteral(".sig")).toStdString(), proxy.toStdString(), cancelled);
    const auto signature = text ? TSignature::Parse(*text) : std::nullopt;
    if (!signature || cancelled ||
        m_key->VerifyFile(packagePath.toStdString(), *signature) != SignatureError::kNone)
        return false;
    m_signature = signature;
    return true;
}

bool TPackageSignature::Check(int fd) const {
    FileDigest::Sha512 digest{};
    return m_key && m_signature && FileDigest::OfDescriptor(fd, digest) == SignatureError::kNone &&
           m_key->VerifyDigest(digest, *m_signature) == SignatureError::kNone;
}
