#include "ReleaseJump.h"

#include "SignatureError.h"

namespace quorvel {

namespace ReleaseJump {

SignatureError Check(std::uint64_t installed, std::uint64_t release, std::uint64_t bound) {
    // Written as a difference so that no sum overflows.
    return release <= installed || release - installed <= bound ? SignatureError::kNone
                                                                : SignatureError::kReleaseTooFar;
}

} // namespace ReleaseJump

} // namespace quorvel
