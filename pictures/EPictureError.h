#pragma once

#include "QuorvelExport.h"

#include <stdexcept>
#include <string>

namespace quorvel {

// Raised when picture data cannot be turned into a drawable image; what()
// carries the user-facing message unchanged.
class QUORVEL_EXPORT EPictureError : public std::runtime_error {
public:
    explicit EPictureError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace quorvel
