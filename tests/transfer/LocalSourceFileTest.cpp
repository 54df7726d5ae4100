#include "LocalSourceFile.h"
#include "TempDir.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

// Reads the whole file with ReadBlock, noting each block's length.
std::string ReadAllBlocks(LocalSourceFile& file, std::size_t block, std::vector<std::size_t>& lengths) {
    std::string read;
    for (;;) {
        const char* data = nullptr;
        std::size_t got = 0;
        EXPECT_TRUE(file.ReadBlock(block, data, got));
        lengths.push_back(got);
        read.append(data, got);
        if (got < block)
            return read;
    }
}

} // namespace

TEST(LocalSourceFile, ReadBlockGivesWholeBlocksUntilTheEndAcrossItsBuffer) {
    // Block sizes that do and do not divide the file's buffer, and files
    // that end on a block and inside one: only the last block is short.
    TempDir dir;
    for (const std::size_t size : {std::size_t{0}, std::size_t{8192}, std::size_t{600'001}}) {
        for (const std::size_t block : {std::size_t{4096}, std::size_t{3000}}) {
            SCOPED_TRACE(std::to_string(size) + "/" + std::to_string(block));
            const std::string path = (dir.Path() / "f.bin").string();
            const std::string bytes = Pattern(size);
            std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
            auto file = LocalSourceFile::Open(path);
            ASSERT_TRUE(file);
            std::vector<std::size_t> lengths;
            EXPECT_EQ(ReadAllBlocks(*file, block, lengths), bytes);
            for (std::size_t i = 0; i + 1 < lengths.size(); ++i)
                EXPECT_EQ(lengths[i], block) << "block " << i;
            EXPECT_EQ(lengths.back(), size % block);
        }
    }
}

TEST(LocalSourceFile, ReadAndReadBlockShareTheFilePosition) {
    TempDir dir;
    const std::string path = (dir.Path() / "f.bin").string();
    const std::string bytes = Pattern(10'000);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    auto file = LocalSourceFile::Open(path);
    ASSERT_TRUE(file);
    char head[100];
    std::size_t got = 0;
    ASSERT_TRUE(file->Read(head, sizeof head, got));
    ASSERT_EQ(got, sizeof head);
    std::vector<std::size_t> lengths;
    EXPECT_EQ(std::string(head, got) + ReadAllBlocks(*file, 4096, lengths), bytes);
}
