#pragma once

// Signing keys and release statements for the suites that run signed updates
// (they link the signature layer; the support library itself does not).

#include "SignatureError.h"
#include "TReleaseStatement.h"
#include "TSigningKey.h"
#include "UtcTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

inline quorvel::TSigningKey NewSigningKey() {
    quorvel::SignatureError error = quorvel::SignatureError::kNone;
    return std::move(quorvel::TSigningKey::Generate(error).value());
}

// The text of a statement on a package's bytes, as the vendor's signing tool
// makes it: `name` is the full package's, or a delta's made from release `base`.
inline std::string SignedStatement(const quorvel::TSigningKey& signer, const std::string& bytes,
                                   const std::string& name, std::uint64_t release, std::uint64_t base = 0,
                                   const std::string& product = "Quorvel",
                                   std::int64_t expires = quorvel::UtcTime::Now() + 86400) {
    quorvel::TReleaseStatement::TFacts facts;
    facts.product = product;
    facts.package = name;
    facts.release = release;
    facts.base = base;
    facts.size = bytes.size();
    quorvel::TSha512 sha;
    sha.Update(bytes.data(), bytes.size());
    sha.Final(facts.sha512);
    facts.expires = expires;
    quorvel::SignatureError error = quorvel::SignatureError::kNone;
    const auto statement = quorvel::TReleaseStatement::Make(facts, signer, error);
    EXPECT_TRUE(statement) << quorvel::SignatureErrorText(error);
    return statement ? statement->Text() : std::string();
}

// The same on the full package.
inline std::string PackageStatement(const quorvel::TSigningKey& signer, const std::string& bytes,
                                    std::uint64_t release, const std::string& product = "Quorvel",
                                    std::int64_t expires = quorvel::UtcTime::Now() + 86400) {
    return SignedStatement(signer, bytes, "DirevidUreziv.cab", release, 0, product, expires);
}
