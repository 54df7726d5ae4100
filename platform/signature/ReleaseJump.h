#pragma once

#include <cstdint>

#include "SignatureError.h"

namespace quorvel {

// How far one update may move the release number. Release numbers only
// grow, so a statement for release 2^64 - 1, signed with a stolen key, would
// leave a copy that installed it nothing newer to take, ever. An update may
// therefore go at most a bound above the installed release: the key
// document's bound when the updater follows key documents, kDefaultBound
// with the one built-in release key.
namespace ReleaseJump {

constexpr std::uint64_t kDefaultBound = 1000;

// SignatureError::kNone when release is at most bound above installed (a
// release not above it is no update, but no jump either), kReleaseTooFar
// otherwise.
SignatureError Check(std::uint64_t installed, std::uint64_t release, std::uint64_t bound = kDefaultBound);

} // namespace ReleaseJump

} // namespace quorvel
