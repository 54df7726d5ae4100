#pragma once

#include "SourceFile.h"

#include <memory>
#include <string>
#include <vector>

namespace quorvel {

// A local regular file opened for reading only (so a read-only file can be
// sent), read through a buffer of large chunks.
class LocalSourceFile : public SourceFile {
public:
    // nullptr when the path names no regular file or it cannot be opened.
    static std::unique_ptr<LocalSourceFile> Open(const std::string& path);
    ~LocalSourceFile() override;
    LocalSourceFile(const LocalSourceFile&) = delete;
    LocalSourceFile& operator=(const LocalSourceFile&) = delete;

    bool Read(char* buffer, std::size_t size, std::size_t& got) override;
    // Like Read, without the copy: data points at the next bytes in the
    // file's own buffer, valid until the next call. got is size unless the
    // file ends sooner, so a short block always means the end of the file.
    bool ReadBlock(std::size_t size, const char*& data, std::size_t& got);
    bool Size(std::uint64_t& size) override;
    bool LastWriteTime(std::int64_t& seconds, int& milliseconds) override;
    int Descriptor() const override { return m_head == m_fill ? m_fd : -1; }

private:
    explicit LocalSourceFile(int fd);
    // Reads into the free end of the buffer; false on a failed read.
    bool FillBuffer(std::size_t& read);

    int m_fd;
    std::vector<char> m_buffer;
    std::size_t m_head = 0, m_fill = 0;
};

} // namespace quorvel
