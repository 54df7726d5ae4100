#pragma once

#include "QuorvelExport.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class TFileOps;

// What an install is about to change in the update folder: every file the
// package carries (path relative to the folder, "/" between names, and
// whether something stood at that name before, to be moved into the
// rollback folder), the folders the commit creates, parents first, and what
// the commit sets aside whole before anything else because it stands where
// the package has an entry of another kind (a file where a folder goes, a
// folder where a file goes).
struct QUORVEL_EXPORT TInstallPlan {
    struct TFile {
        std::string path;
        bool existed = false;
        bool operator==(const TFile&) const = default;
    };
    std::vector<TFile> files;
    std::vector<std::string> newFolders;
    std::vector<std::string> setAside;
    bool operator==(const TInstallPlan&) const = default;
};

// The journal of an install: a small text file in the update folder, written
// and on the disk before the first product file moves and removed once the
// commit has ended, so that a start after a crash can undo the install.
//
// Format: a header line, then "aside PATH", "folder PATH" and "file 0|1 PATH"
// lines, then "end" (journals written before "aside" lines existed read as
// before). Bytes below 0x20, 0x7F and "%" in a path are written as %XX.
class QUORVEL_EXPORT TInstallJournal {
public:
    // Longest line accepted when reading.
    static constexpr std::size_t kMaxLine = 16384;

    // The whole journal text of a plan.
    static std::string Format(const TInstallPlan& plan);

    // Reads a journal one line at a time (without its line feed). A journal
    // is accepted only when every line is well formed, every path stays
    // below the folder and the end line closes it.
    class TReader {
    public:
        bool Line(std::string_view line);
        // The plan, when the text read was one complete journal.
        bool Finish(TInstallPlan& plan);

    private:
        TInstallPlan m_plan;
        int m_lines = 0;
        bool m_ended = false;
        bool m_bad = false;
    };
    static bool Parse(std::string_view text, TInstallPlan& plan);

    // Writes the journal under `tempName` in the folder `dir` and renames it
    // to `name`, flushing nothing: the install's one flush of the file system
    // puts it on the disk with the staged files, before any product file
    // moves. Until then a power cut may leave it cut short, which Read tells
    // as damaged (and nothing has moved then).
    static bool Place(int dir, const std::string& name, const std::string& tempName, const TInstallPlan& plan,
                      TFileOps& ops);
    enum class TReadStatus {
        Read,       // plan holds the journal
        Missing,    // nothing stands at the name
        Unreadable, // it could not be opened or read (permissions, an I/O error, no descriptor left): try
                    // later
        Damaged,    // it was read, and is not a complete journal (or not a file)
    };
    // Reads the journal `name` of the folder `dir` without following links.
    static TReadStatus Read(int dir, const std::string& name, TInstallPlan& plan);

    // True for "a/b/c": names separated by single "/", none empty, "." or
    // "..", no "\" and no NUL.
    static bool ValidPath(std::string_view path);
};

} // namespace quorvel
