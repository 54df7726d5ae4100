#pragma once

#include "CabLayout.h"
#include "MessageBox.h"
#include "TempDir.h"

#include <QString>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Runs gcab in `folder` to pack `names` (relative to it) into `cab`.
void MakeGcab(const fs::path& cab, const fs::path& folder, const std::vector<std::string>& names, bool zip);

// Files by relative name ("/" between folders) and their contents.
using Tree = std::map<std::string, std::string>;

// The cabinet gcab makes of `files` (stored, or MSZIP with `zip`).
std::string GcabOf(const Tree& files, bool zip);
// Expects `root` to hold exactly `files`, byte for byte, and no links.
void ExpectTree(const fs::path& root, const Tree& files);

// hello.c and welcome.c, dated 1997-03-12 11:13:52 and 11:15:14 local time,
// in one stored folder; written to `cab`.
Tree TwoFileCabinet(const fs::path& cab);
// Two folders, the first stored and the second MSZIP, with nested names, a
// 255-character name and a file of several blocks.
CabLayout MixedLayout(Tree& files);
// A set of three parts "set1.cab".."set3.cab" in `folder`: a.txt in the
// first, b.bin from the first through the third, and c.txt in a second
// folder of the third. `first` and `last` get what extracting the first and
// the third part writes.
void MakeSet(const fs::path& folder, Tree& first, Tree& last);
// Cabinets with damaged headers, tables or data, by name, each cut from a
// well-formed one; none may extract.
std::map<std::string, std::string> DamagedCabinets();

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
    quorvel::MessageBoxHandler m_previous;
};

// Local time_t of a wall-clock date and time.
long long LocalTime(int year, int month, int day, int hour, int minute, int second);
long long ModTime(const fs::path& path);
