#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace quorvel {

// What a file carries besides its bytes: owner and group, the full mode
// (set-id and sticky bits included) and the extended attributes, which hold
// its access control list and its file capabilities too.
namespace FileMetadata {

// Gives the open file `to` the owner, group, mode and extended attributes of
// the open file `from`. The owner is set first, since a change of owner
// clears the set-id bits and the capabilities; then the mode, then the
// attributes. What the running user may not set (another owner, an
// attribute of a protected namespace) is left as it is; any other failure
// returns false with errno set.
bool Copy(int from, int to);
// Owner, group and mode alone, from what stat told of a file that cannot be
// opened.
bool CopyOwnerAndMode(const struct stat& from, int to);

// Gives the open file or folder `fd` the mode `mode` (umask aside) and, when
// `folder` is a folder whose new entries take its group (set-group-id),
// that folder's group, as an entry created in it in place would have.
bool TakeFromFolder(int fd, int folder, mode_t mode);

// Makes a newly created file a program: it gains the execute bits wherever
// its mode (the umask's choice) has the read bits, so whoever may read it
// may run it.
bool MakeRunnable(int fd);

} // namespace FileMetadata

} // namespace quorvel
