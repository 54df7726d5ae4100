#include "FileAge.h"

#include <sys/stat.h>

namespace quorvel {

bool FileAgeDate(const std::string& path, TDateTime& age) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    TDateFields fields = DateTime::Decode(DateTime::FromUnixUtc(info.st_mtim.tv_sec));
    fields.second -= fields.second % 2;
    fields.millisecond = 0;
    age = DateTime::Encode(fields);
    return true;
}

} // namespace quorvel
