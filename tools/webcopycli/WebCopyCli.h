#pragma once

#include <ostream>

namespace quorvel {

// The webcopy program: parses the command line, runs its jobs on a TWebCopy
// without any dialog and reports on out (errors of the command line on err).
// Returns 0 when every job succeeded, 1 when one failed, 2 for a bad command
// line. With handleInterrupt, Ctrl-C cancels the run.
int RunWebCopyCli(int argc, char** argv, std::ostream& out, std::ostream& err, bool terminal,
                  bool handleInterrupt);

} // namespace quorvel
