#pragma once

#include <string>
#include <vector>

namespace quorvel {

// Places cabinet entries below a target folder without ever leaving it.
class TTargetFolder {
public:
    // Splits an entry name on "/" and "\" into folder names followed by the
    // file name, dropping "." and empty segments and resolving "..". False for
    // absolute names ("/x", "\x", "C:x"), names that climb above the target
    // and names without a file name.
    static bool SplitEntryName(const std::string& name, std::vector<std::string>& parts);

    // Opens base and then each folder below it, creating missing ones, without
    // following symbolic links below base. Returns a folder descriptor, or -1
    // with errno set.
    static int OpenFolder(const std::string& base, const std::vector<std::string>& parts, std::size_t count);
};

} // namespace quorvel
