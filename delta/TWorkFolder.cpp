#include "TWorkFolder.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace quorvel {

TWorkFolder::TWorkFolder(const std::string& in) {
    std::error_code code;
    const std::string base = in.empty() ? std::filesystem::temp_directory_path(code).string() : in;
    std::string pattern = base + "/.quorvel-delta-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()))
        m_path = name.data();
}

TWorkFolder::~TWorkFolder() {
    std::error_code code;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, code);
}

} // namespace quorvel
