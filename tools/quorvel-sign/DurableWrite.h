#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

// The tool's one way to write a key, statement or document file whole: the
// bytes go to a temporary name beside it (created new, never through a
// link), are flushed, and the temporary file is renamed over the target; the
// folder is flushed last. After a crash the target is either the old file or
// the whole new one.
namespace DurableWrite {

// The temporary name is ".NAME.new" in the target's folder. A link at path
// is replaced, never followed.
bool ReplacePath(const std::string& path, std::string_view bytes, mode_t mode = 0600);

} // namespace DurableWrite
