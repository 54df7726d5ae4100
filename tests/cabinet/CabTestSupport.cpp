#include "CabTestSupport.h"

#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <sys/stat.h>

void MakeGcab(const fs::path& cab, const fs::path& folder, const std::vector<std::string>& names, bool zip) {
    std::string command =
        "cd '" + folder.string() + "' && gcab -c " + (zip ? "-z " : "") + "'" + cab.string() + "'";
    for (const std::string& name : names)
        command += " '" + name + "'";
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("gcab failed: " + command);
}

std::map<std::string, long long> ScanTree(const fs::path& root) {
    std::map<std::string, long long> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (it->is_symlink())
            entries[rel] = -2;
        else if (it->is_directory())
            entries[rel] = -1;
        else
            entries[rel] = static_cast<long long>(it->file_size());
    }
    return entries;
}

MessageRecorder::MessageRecorder() {
    m_previous = SetMessageBoxHandler([this](const QString& title, const QString& text, TMessageKind) {
        titles.push_back(title);
        texts.push_back(text);
    });
}

MessageRecorder::~MessageRecorder() {
    SetMessageBoxHandler(m_previous);
}

long long LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

long long ModTime(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mtime;
}
