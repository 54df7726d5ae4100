#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quorvel {

class TFileOps;
class TUniqueFd;

// The one way a file of ours is replaced whole: its bytes go to a temporary
// name beside it (created new, never through a link), are flushed, and the
// temporary file is renamed over the target; the folder is flushed last. A
// reader, or the next start after a kill or a power cut, finds either the
// old file or the whole new one, never a part.
namespace DurableWrite {

// Fills the open temporary file; false stops the write.
using TFill = std::function<bool(int fd)>;

// Writes the file `name` in the open folder `dir` through `tempName` (a name
// of ours: whatever stands there is removed first). A link at `name` is
// replaced, never followed. With `kept`, the new file stays open for the
// caller (positioned at its end). On failure nothing but the temporary name
// has been touched, and it is removed.
bool Replace(int dir, const std::string& name, const std::string& tempName, const TFill& fill, TFileOps& ops,
             mode_t mode = 0600, TUniqueFd* kept = nullptr);
bool Replace(int dir, const std::string& name, const std::string& tempName, std::string_view bytes,
             TFileOps& ops, mode_t mode = 0600);

// The same for a path: the temporary name is ".NAME.new" in its folder.
bool ReplacePath(const std::string& path, std::string_view bytes, mode_t mode = 0600);

// Writes all of bytes to fd through ops, over short writes.
bool WriteAll(TFileOps& ops, int fd, std::string_view bytes);

} // namespace DurableWrite

} // namespace quorvel
