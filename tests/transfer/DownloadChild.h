#pragma once

#include <cstdint>
#include <string>

// Runs one download of url into dir (with resuming when asked) in a child
// process, this test binary started again, and kills it with SIGKILL once it
// reported at least killAfter bytes. The bytes it had reported go to *done.
void KillDownloadChild(const std::string& url, const std::string& dir, bool resume, std::uint64_t killAfter,
                       std::uint64_t* done = nullptr);
