#pragma once

#include <string>
#include <vector>

namespace quorvel {

// The delta commands of quorvel-sign, given the command line's words after
// the program name (the command first):
//   delta OLD.cab NEW.cab --from-release N --release M --out DIR [--level L]
//   check-delta OLD.cab DELTA
// Returns the exit status: 0 success, 1 failure, 2 wrong usage.
int RunDeltaCommand(const std::vector<std::string>& words);

} // namespace quorvel
