#pragma once

#include <string>

namespace quorvel {

// A folder of our own for the files of one delta operation, created new
// (mode 0700) in a given folder and removed with everything in it when the
// object goes.
class TWorkFolder {
public:
    // in: the folder to create it in; empty: the system's temporary folder.
    explicit TWorkFolder(const std::string& in);
    ~TWorkFolder();
    TWorkFolder(const TWorkFolder&) = delete;
    TWorkFolder& operator=(const TWorkFolder&) = delete;

    bool Valid() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace quorvel
