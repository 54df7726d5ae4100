#pragma once

#include "SignatureError.h"
#include "TReleaseStatement.h"
#include "TSigningKey.h"
#include "UtcTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

inline TSigningKey NewSigningKey() {
    SignatureError error = SignatureError::kNone;
    return std::move(TSigningKey::Generate(error).value());
}

// The text of a statement on a full package's bytes, as the vendor's signing
// tool makes it.
inline std::string PackageStatement(const TSigningKey& signer, const std::string& bytes,
                                    std::uint64_t release, const std::string& product = "Quorvel",
                                    std::int64_t expires = UtcTime::Now() + 86400) {
    TReleaseStatement::TFacts facts;
    facts.product = product;
    facts.package = "DirevidUreziv.cab";
    facts.release = release;
    facts.size = bytes.size();
    TSha512 sha;
    sha.Update(bytes.data(), bytes.size());
    sha.Final(facts.sha512);
    facts.expires = expires;
    SignatureError error = SignatureError::kNone;
    const auto statement = TReleaseStatement::Make(facts, signer, error);
    EXPECT_TRUE(statement) << SignatureErrorText(error);
    return statement ? statement->Text() : std::string();
}
