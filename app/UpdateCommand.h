#pragma once

namespace quorvel {

// The updater without a window, for administrators, scripts and timers:
//   --check   asks the server only; exit 0 when current, 10 when an update
//             is available, 1 on an error
//   --update  the whole job; exit 0 when it installed or there was nothing
//             to do, 1 on an error (nothing half-installed)
// Runs with no display at all: no GUI is started.
namespace UpdateCommand {

// Whether the arguments ask for a command-line run (so no GUI must start).
bool Wanted(int argc, char** argv);
// Runs it and returns the exit status.
int Run(int argc, char** argv);

} // namespace UpdateCommand

} // namespace quorvel
