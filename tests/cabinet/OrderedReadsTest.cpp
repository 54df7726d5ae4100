#include "CabTestSupport.h"
#include "TOrderedReads.h"
#include "cabfiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace quorvel;

namespace {

// An extraction from a descriptor gives every byte of the cabinet once, in
// order (the reserved areas it skips and bytes after its end included), for
// a stored and a compressed folder alike.
TEST(CabExtract, GivesEveryByteOfTheCabinetOnceInOrderWhileItUnpacks) {
    MessageRecorder boxes;
    Tree files;
    CabLayout layout = MixedLayout(files);
    layout.reserve = true;
    layout.headerReserve = 60;
    layout.dataReserve = 3;
    const std::string trailing = "bytes after the cabinet's end";
    for (const std::string& bytes : {layout.Build() + trailing, GcabOf(files, true)}) {
        TempDir work, target;
        WriteFile(work / "c.cab", bytes);
        const int fd = open((work / "c.cab").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        TCABFile cab;
        cab.SetCABFileDescriptor(fd);
        cab.SetTargetPath(QString::fromStdString(target.Slash()));
        std::string given;
        cab.OnCabinetBytes = [&](const char* data, std::size_t size) { given.append(data, size); };
        ASSERT_TRUE(cab.ExtractAll());
        close(fd);
        EXPECT_TRUE(cab.CabinetBytesWhole());
        EXPECT_TRUE(given == bytes);
        ExpectTree(target.Path(), files);
    }
}

// Reads in any order get the file's bytes; the bytes given stay the file in
// order, and a second reading past what is kept breaks the chain.
TEST(OrderedReads, ServesAnyOrderAndTellsWhenItCannotKeepTheChain) {
    TempDir work;
    std::string bytes(100000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    WriteFile(work / "f", bytes);
    const int fd = open((work / "f").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (const bool farBack : {false, true}) {
        SCOPED_TRACE(farBack);
        std::string given;
        TOrderedReads reads(
            fd, [&](const char* data, std::size_t size) { given.append(data, size); }, 4096);
        auto read = [&](std::int64_t offset, std::uint32_t count) {
            std::string out(count, '\0');
            const std::int64_t got = reads.Read(offset, out.data(), count);
            EXPECT_EQ(got, static_cast<std::int64_t>(std::min<std::size_t>(count, bytes.size() - offset)));
            out.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
            EXPECT_TRUE(out == bytes.substr(static_cast<std::size_t>(offset), out.size()));
        };
        read(1000, 1000); // skips the first 1000
        read(500, 1000);  // again, and on
        read(50000, 100); // a skip past what is kept
        read(10, 20);     // again, from what is kept
        if (farBack)
            read(4000, 200); // again, past what is kept
        read(99990, 100);    // to the end
        EXPECT_EQ(reads.Finish(), !farBack);
        if (!farBack) {
            EXPECT_TRUE(given == bytes);
        }
    }
    close(fd);
}

} // namespace
