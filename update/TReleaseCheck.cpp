#include "TReleaseCheck.h"

#include "FileDigest.h"
#include "KeyWalk.h"
#include "ReleaseJump.h"
#include "SignatureError.h"
#include "TFreshnessStatement.h"
#include "TKeyState.h"
#include "TextFetch.h"
#include "UtcTime.h"

namespace quorvel {

namespace {

void AddKey(const QString& text, std::vector<TPublicKey>& to, bool& required) {
    if (text.isEmpty())
        return;
    required = true;
    if (const auto parsed = TPublicKey::FromBase64(text.toStdString()))
        to.push_back(*parsed);
}

} // namespace

TReleaseCheck::TReleaseCheck(const TKeys& keys, const QString& product, const QString& package,
                             const QString& channel)
    : m_threshold(keys.threshold), m_product(product.toStdString()), m_package(package.toStdString()),
      m_channel(channel.toStdString()) {
    for (const QString& root : keys.rootKeys)
        AddKey(root, m_roots, m_required);
    if (m_roots.empty()) {
        AddKey(keys.key, m_keys, m_required);
        AddKey(keys.nextKey, m_keys, m_required);
    } else if (m_roots.size() != static_cast<std::size_t>(keys.rootKeys.size())) {
        // A root that is not a key: nothing is accepted rather than fewer roots.
        m_roots.clear();
        m_keys.clear();
    }
}

TReleaseCheck::TOutcome TReleaseCheck::Fetch(const QString& url, const QString& proxy,
                                             const std::atomic<bool>& cancelled,
                                             std::uint64_t installedRelease, const QString& folder,
                                             const QString& keptKeys) {
    Forget();
    const std::string packageUrl = url.toStdString();
    const auto text =
        FetchText(packageUrl + ".release", proxy.toStdString(), cancelled, TReleaseStatement::kMaxTextSize);
    if (cancelled)
        return TOutcome::Cancelled;
    auto statement = text ? TReleaseStatement::Parse(*text) : std::nullopt;
    m_refusal = statement ? Judge(*statement, packageUrl, proxy.toStdString(), cancelled, installedRelease,
                                  folder, keptKeys)
                          : SignatureError::kBadStatement;
    if (cancelled)
        return TOutcome::Cancelled;
    if (m_refusal != SignatureError::kNone)
        return TOutcome::Refused;
    if (statement->Facts().release <= installedRelease)
        return TOutcome::UpToDate;
    m_statement = std::move(statement);
    return TOutcome::Newer;
}

// SignatureError::kNone when the statement vouches for an update of this
// package from installed: signed as the keys say, for this product, package
// and channel, fresh, and not beyond the bound one update may move.
SignatureError TReleaseCheck::Judge(const TReleaseStatement& statement, const std::string& url,
                                    const std::string& proxy, const std::atomic<bool>& cancelled,
                                    std::uint64_t installed, const QString& folder, const QString& keptKeys) {
    TReleaseStatement::TDemand demand;
    demand.product = m_product;
    demand.package = m_package;
    demand.channel = m_channel;
    if (!Roles()) {
        const SignatureError code = statement.Check(m_keys, demand, UtcTime::Now());
        return code != SignatureError::kNone ? code
                                             : ReleaseJump::Check(installed, statement.Facts().release);
    }
    TKeyState state(m_product, m_roots, m_threshold);
    KeyWalk::Walk(state, url, proxy, cancelled, folder, keptKeys);
    const auto freshText = FetchText(url + ".fresh", proxy, cancelled, TFreshnessStatement::kMaxTextSize);
    const auto fresh = freshText ? TFreshnessStatement::Parse(*freshText) : std::nullopt;
    if (!fresh)
        return SignatureError::kBadDocument;
    return state.CheckUpdate(statement, *fresh, demand, installed, UtcTime::Now());
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

bool TReleaseCheck::DigestMatches(std::uint64_t size, const TSha512::Digest& digest) const {
    return m_statement && m_statement->CheckPackage(size, digest) == SignatureError::kNone;
}

void TReleaseCheck::Forget() {
    m_statement.reset();
    m_digest.Reset();
    m_refusal = SignatureError::kNone;
}

} // namespace quorvel
