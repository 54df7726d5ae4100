#pragma once

#include "TargetFile.h"
#include "WebCopyTypes.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace quorvel {

class TWebCopy;

// The one step through which the HTTP download, the FTP download and the
// file copy write their target: the job's TargetFile, the engine's events for
// it (OnDataBlock, OnVerifyFile), the job's MaxSize, and the reports of every
// failure in the routine's own words. Nothing touches the target before
// Finish; a job that ends any other way leaves it as it was.
class DownloadTarget {
public:
    // How the routine words its failures: the code and text of a failed
    // write, and the text of error 3 (the file cannot be created).
    struct Words {
        WebCopyError writeCode;
        QString writeText;
        QString createText;
    };

    // idx is the job's index (its MaxSize, and the events' idx); source names
    // what the job copies (URL or path) in the reports.
    DownloadTarget(TWebCopy& engine, int idx, std::size_t capacity, QString source);

    // The target's path (as the job spells it) and the routine's words.
    void SetTarget(QString targetPath, Words words);
    // An announced length above MaxSize: reports error 12 and gives false.
    bool AllowsSize(std::uint64_t announced);
    // Creates the temporary file, named after the target and key (the source
    // when empty), so a leftover is matched to its job; reports error 3 when
    // it cannot, error 14 when another run of the job holds it.
    bool Open(const QString& key = QString());
    // The same in two steps, for a download that may resume: Name (touches
    // nothing, so the kept file's record can be read through File()), then
    // Create (anew) or, to go on from a kept file, File().Reopen.
    void Name(const QString& key = QString());
    bool Create();

    // Keeps the temporary file for a later run when the job ends before
    // Finish, described by record; from now on the bytes are put on the disk
    // with a new record now and then (Checkpoint), so that even a machine
    // that goes down loses little.
    void KeepForResume(ResumeRecord record);
    // The file is no longer to be kept (a new one starts that cannot be resumed).
    void DropResume() { m_resume.reset(); }
    // Called after each block: a checkpoint once enough bytes and time
    // passed since the last.
    void Checkpoint();
    ~DownloadTarget();
    TargetFile& File() { return m_file; }
    // After a write into File() failed: reports error 12 when it ran past
    // MaxSize, else the routine's write failure.
    void ReportWriteFailure();
    // The data is whole: puts it on the disk, asks OnVerifyFile, and renames
    // it over the target. Reports a failure of any step (write, 13, 3) and
    // gives false; the target is then untouched.
    bool Finish();

private:
    TWebCopy& m_engine;
    int m_idx;
    TargetFile m_file;
    QString m_targetPath;
    QString m_source;
    Words m_words;
    std::uint64_t m_maxSize;
    std::optional<ResumeRecord> m_resume;
    std::uint64_t m_checkpointSize = 0;
    std::uint32_t m_checkpointTick = 0;
    bool m_finished = false;
};

} // namespace quorvel
