#pragma once

#include "ResumeRecord.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// The file a download (HTTP, FTP or a file copy) writes. The bytes go into a
// temporary file of the job's own in the target's folder, created new and
// never through a link, and only a whole file replaces the target, by a
// rename: a transfer that ends in any other way, or a process that is
// killed, leaves the previous target byte for byte as it was.
//
// The temporary file is named after the target and the job's source
// (".NAME.HASH.part", see TemporaryName), so a leftover is recognised and
// matched to its job; opening the job's file removes its leftover first.
// While a run has the file open it holds an exclusive lock on it (an
// open-file-description lock, so two runs in one process exclude each other
// too): another run of the same job finds it in use and touches neither the
// file nor its record. The lock goes with the process, so a killed run's
// leftover is free to take.
//
// Writes go through a buffer of whole blocks: blocks are read straight into
// the buffer, and the buffer goes to the file when the next block might not
// fit, so each byte is copied once between the source and the file.
class TargetFile {
public:
    explicit TargetFile(std::size_t capacity);
    // A temporary file that did not replace its target is removed.
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    // ".NAME.HASH.part": the target's file name (shortened at a character
    // boundary when the whole would pass 255 bytes) and 16 hex digits of a
    // hash of the source.
    static std::string TemporaryName(const std::string& targetName, const std::string& source);

    // SetPaths, then Create.
    bool Open(const std::string& targetPath, const std::string& source);
    // Names the target and the job's temporary file (and its resume record,
    // ".NAME.HASH.resume"); touches nothing.
    void SetPaths(const std::string& targetPath, const std::string& source);
    // Creates the target's folder and its parents when missing, removes the
    // job's leftovers (temporary file and record) and creates the temporary
    // file anew. False when the folder or the file cannot be made, or when
    // another run holds the job's file (InUse).
    bool Create();
    // The last Create or Reopen failed because another run holds the file.
    bool InUse() const { return m_inUse; }
    const std::string& TemporaryPath() const { return m_tempPath; }
    // The open temporary file (read and write), -1 when none.
    int Descriptor() const { return m_fd; }

    // Resuming. The job's kept record and the size of its kept temporary
    // file; nothing when either is missing or not ours.
    std::optional<ResumeRecord> KeptRecord(std::uint64_t& fileSize);
    // Opens the kept temporary file again (ours, a regular file with one
    // name) to go on after its first keep bytes: the rest is cut off. False
    // when it cannot, or when another run holds it (InUse).
    bool Reopen(std::uint64_t keep);
    // Passes the kept bytes through the data sink, in order, as if they had
    // just arrived (once it is sure they are kept).
    bool Replay();
    // Empties the file to start over from byte 0.
    bool Restart();
    // Puts the bytes so far on the disk and writes record (flushed = Size(),
    // this boot) beside the file. False when that failed.
    bool Checkpoint(ResumeRecord& record);
    // Checkpoint, then closes the file and leaves it and its record for the
    // next run; when that fails, Discard.
    void Keep(ResumeRecord record);

    // Bytes the file may take at most (0: no bound). A write that would pass
    // the bound fails and OverLimit() tells why.
    void SetLimit(std::uint64_t limit) { m_limit = limit; }
    bool OverLimit() const { return m_overLimit; }
    // Called with every run of bytes as it is written into the file, in file
    // order from byte 0. While one is set, CopyFrom moves nothing (Unsupported)
    // so that every byte passes through it.
    void SetDataSink(std::function<void(const char*, std::size_t)> sink) { m_sink = std::move(sink); }
    // Bytes taken so far (buffered ones included).
    std::uint64_t Size() const { return m_size; }

    // Room for a block of up to blockSize bytes.
    char* Next() { return m_buffer.data() + m_fill; }
    // Takes length bytes put at Next(), making sure that another block of
    // blockSize fits after them; false when writing to the file failed or the
    // bound was passed.
    bool Commit(std::size_t length, std::size_t blockSize);
    // Copies bytes in (for blocks that were read elsewhere).
    bool Append(const char* bytes, std::size_t length);
    // Moves up to length bytes from a file descriptor's position to the end
    // of this file inside the kernel (what is buffered goes first). Gives
    // Copied (got > 0, or 0 at the source's end), Unsupported (nothing moved:
    // the files do not allow it, or a data sink is set) or the failure:
    // ReadFailed or WriteFailed (also past the bound).
    enum class CopyResult { Copied, Unsupported, ReadFailed, WriteFailed };
    CopyResult CopyFrom(int fd, std::size_t length, std::size_t& got);

    // Writes what is buffered and puts the file's data on the disk; false when
    // any write failed.
    bool Sync();
    // Renames the synced temporary file over the target (a link standing at
    // the target's name is replaced, never followed; a regular file's
    // permissions carry over) and flushes the folder. Only the open file is
    // renamed: when something else stands at its name now, nothing is. False
    // when the rename failed; the temporary file is then removed.
    bool Replace();
    // Closes and removes the temporary file and its record (when the name
    // still is the open file).
    void Discard();

private:
    // Whether the temporary name still stands for the open file.
    bool NameIsOpenFile() const;
    bool OpenFolder(bool create);
    void RemoveRecord();
    void Reset(std::uint64_t size);
    bool Flush();
    bool Take(std::uint64_t length);
    void StartWriteback();

    int m_fd = -1;
    int m_dirFd = -1;
    std::string m_folder, m_tempName, m_tempPath, m_recordName, m_targetName;
    std::vector<char> m_buffer;
    std::size_t m_fill = 0;
    std::uint64_t m_size = 0;
    // Bytes of the file already handed to the disk's writeback.
    std::uint64_t m_writebackStart = 0;
    std::uint64_t m_limit = 0;
    bool m_overLimit = false;
    bool m_ok = true;
    bool m_inUse = false;
    // The temporary file was made or opened by this object and is not yet
    // replaced or kept: Discard removes it.
    bool m_active = false;
    std::function<void(const char*, std::size_t)> m_sink;
};

} // namespace quorvel
