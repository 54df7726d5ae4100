#pragma once

#include <string>

namespace quorvel {

// The vendor's check of a delta package before it is published: the delta
// is applied, as an updater applies it, to the files of the old package
// unpacked in a temporary folder, and every result is confirmed against the
// manifest. The report says what was built, or why it failed.
namespace DeltaCheck {

bool Run(const std::string& oldCab, const std::string& delta, std::string& report);

} // namespace DeltaCheck

} // namespace quorvel
