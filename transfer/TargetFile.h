#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A target file created (or emptied) for writing and written through a
// buffer of whole blocks: blocks are read straight into the buffer, and the
// buffer goes to the file when the next block might not fit, so each byte is
// copied once between the source and the file.
class TargetFile {
public:
    // Opens at once: creates or empties path.
    TargetFile(const std::string& path, std::size_t capacity);
    // Opens later, through Open: blocks can be read into Next() before the
    // file exists, so a job that ends first leaves an existing file alone.
    explicit TargetFile(std::size_t capacity);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    // Creates or empties path (its folder must exist).
    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    // Room for a block of up to blockSize bytes.
    char* Next() { return m_buffer.data() + m_fill; }
    // Takes length bytes put at Next(), making sure that another block of
    // blockSize fits after them; false when writing to the file failed.
    bool Commit(std::size_t length, std::size_t blockSize);
    // Copies bytes in (for blocks that were read elsewhere).
    bool Append(const char* bytes, std::size_t length);
    // Moves up to length bytes from a file descriptor's position to the end
    // of this file inside the kernel (what is buffered goes first). Gives
    // Copied (got > 0, or 0 at the source's end), Unsupported (nothing moved:
    // the files do not allow it) or the failure: ReadFailed or WriteFailed.
    enum class CopyResult { Copied, Unsupported, ReadFailed, WriteFailed };
    CopyResult CopyFrom(int fd, std::size_t length, std::size_t& got);
    // Writes what is buffered and closes; false when any write failed.
    bool Close();

private:
    bool Flush();

    int m_fd = -1;
    std::vector<char> m_buffer;
    std::size_t m_fill = 0;
    bool m_ok = true;
};
