#pragma once

#include "MessageBox.h"
#include "TempDir.h"

#include <QString>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Folder of the shared test cabinets.
inline fs::path SharedCab(const std::string& name) {
    return fs::path(QUORVEL_SHARED_DIR) / "cabinets" / name;
}

// Runs gcab in `folder` to pack `names` (relative to it) into `cab`.
void MakeGcab(const fs::path& cab, const fs::path& folder, const std::vector<std::string>& names, bool zip);

// Every entry below root (links not followed): relative path -> size, or -1
// for folders and -2 for symbolic links.
std::map<std::string, long long> ScanTree(const fs::path& root);

// Records message boxes instead of showing them, for its lifetime.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    std::vector<QString> titles;
    std::vector<QString> texts;

private:
    MessageBoxHandler m_previous;
};

// Local time_t of a wall-clock date and time.
long long LocalTime(int year, int month, int day, int hour, int minute, int second);
long long ModTime(const fs::path& path);
