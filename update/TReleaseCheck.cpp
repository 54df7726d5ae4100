#include "TReleaseCheck.h"

#include "FileDigest.h"
#include "InetRequest.h"
#include "InetSession.h"
#include "SignatureError.h"
#include "UtcTime.h"

namespace {

// The text at url, or nullopt: no answer, a status other than 200, a body
// longer than a statement can be, a failed read or a cancel.
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
    if (request->QueryContentLength(length) && length > TReleaseStatement::kMaxTextSize)
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
        if (text.size() > TReleaseStatement::kMaxTextSize)
            return std::nullopt;
    }
}

} // namespace

TReleaseCheck::TReleaseCheck(const QString& key, const QString& nextKey, const QString& product)
    : m_product(product.toStdString()) {
    for (const QString& text : {key, nextKey}) {
        if (text.isEmpty())
            continue;
        m_required = true;
        if (const auto parsed = TPublicKey::FromBase64(text.toStdString()))
            m_keys.push_back(*parsed);
    }
}

TReleaseCheck::TOutcome TReleaseCheck::Fetch(const QString& url, const QString& proxy,
                                             const std::atomic<bool>& cancelled,
                                             std::uint64_t installedRelease) {
    Forget();
    const auto text = FetchText(url.toStdString(), proxy.toStdString(), cancelled);
    if (cancelled)
        return TOutcome::Cancelled;
    auto statement = text ? TReleaseStatement::Parse(*text) : std::nullopt;
    if (!statement || statement->Check(m_keys, m_product, UtcTime::Now()) != SignatureError::kNone)
        return TOutcome::Refused;
    if (statement->Facts().release <= installedRelease)
        return TOutcome::UpToDate;
    m_statement = std::move(statement);
    return TOutcome::Newer;
}

void TReleaseCheck::Add(const char* data, std::size_t size) {
    m_digest.Update(data, size);
}

bool TReleaseCheck::PackageMatches() {
    TSha512::Digest digest{};
    const std::uint64_t size = m_digest.Size();
    return m_statement && m_digest.Final(digest) &&
           m_statement->CheckPackage(size, digest) == SignatureError::kNone;
}

bool TReleaseCheck::CopyMatches(int fd) const {
    TSha512::Digest digest{};
    std::uint64_t size = 0;
    return m_statement && FileDigest::OfDescriptor(fd, digest, &size) == SignatureError::kNone &&
           m_statement->CheckPackage(size, digest) == SignatureError::kNone;
}

void TReleaseCheck::Forget() {
    m_statement.reset();
    m_digest.Reset();
}
