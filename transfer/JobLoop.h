#pragma once

#include "QuorvelExport.h"

namespace quorvel {

class TWebCopy;

// Runs every active job of the engine once, in order, on the calling thread:
// builds the progress window, opens the internet session when network jobs
// exist, raises the per-job and end-of-run events, and records each job's
// result in the job.
QUORVEL_EXPORT void RunJobs(TWebCopy& engine);

// Active jobs that need the internet session (every protocol but wpFile).
QUORVEL_EXPORT int CountNetworkJobs(const TWebCopy& engine);
// Active jobs.
QUORVEL_EXPORT int CountActiveJobs(const TWebCopy& engine);

} // namespace quorvel
