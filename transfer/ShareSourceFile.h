#pragma once

#include "ShareFile.h"
#include "SourceFile.h"

#include <memory>

namespace quorvel {

// A file on a network share as the source of a file copy.
class ShareSourceFile : public SourceFile {
public:
    explicit ShareSourceFile(std::unique_ptr<ShareFile> file) : m_file(std::move(file)) {}

    bool Read(char* buffer, std::size_t size, std::size_t& got) override {
        return m_file->Read(buffer, size, got);
    }
    bool Size(std::uint64_t& size) override {
        size = m_file->Size();
        return true;
    }
    bool LastWriteTime(std::int64_t& seconds, int& milliseconds) override {
        seconds = m_file->LastWriteSeconds();
        milliseconds = m_file->LastWriteMilliseconds();
        return true;
    }

private:
    std::unique_ptr<ShareFile> m_file;
};

} // namespace quorvel
