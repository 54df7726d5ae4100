#include "DeltaTestSupport.h"
#include "TPatchDecoder.h"
#include "TPatchEncoder.h"
#include "TUniqueFd.h"

#include <fcntl.h>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

int OpenRead(const fs::path& path) {
    return open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

TPatchStatus MakeFrame(const fs::path& reference, const fs::path& result, const fs::path& frame) {
    const TUniqueFd ref(OpenRead(reference)), in(OpenRead(result));
    std::string bytes;
    const TPatchStatus status =
        TPatchEncoder::Make(ref.Get(), in.Get(), [&](const void* data, std::size_t size) {
            bytes.append(static_cast<const char*>(data), size);
            return true;
        });
    WriteFile(frame, bytes);
    return status;
}

TPatchStatus ApplyFrame(const fs::path& reference, const fs::path& frame, std::string& out) {
    const TUniqueFd ref(OpenRead(reference)), in(OpenRead(frame));
    out.clear();
    return TPatchDecoder::ApplyFile(ref.Get(), in.Get(), [&](const void* data, std::size_t size) {
        out.append(static_cast<const char*>(data), size);
        return true;
    });
}

} // namespace

// A few changed KiB in a file of megabytes make a frame of about their size,
// which both our decoder and the zstd program turn back into the new file.
TEST(Patch, FrameRebuildsTheNewFileHereAndInTheZstdProgram) {
    TempDir dir;
    const std::string old = RandomBytes(6 << 20, 1);
    // Changes near both ends and bytes moved by an insertion in the middle.
    std::string changed = Changed(Changed(old, 1000, 3000, 2), (6 << 20) - 5000, 2000, 3);
    changed.insert(3 << 20, RandomBytes(1500, 4));
    WriteFile(dir / "old", old);
    WriteFile(dir / "new", changed);
    WriteFile(dir / "empty", "");
    ASSERT_EQ(MakeFrame(dir / "old", dir / "new", dir / "frame"), TPatchStatus::Ok);
    EXPECT_LT(fs::file_size(dir / "frame"), 16u << 10);

    std::string out;
    EXPECT_EQ(ApplyFrame(dir / "old", dir / "frame", out), TPatchStatus::Ok);
    EXPECT_TRUE(out == changed);
    ASSERT_EQ(RunShell("zstd -q -d -f --patch-from='" + (dir / "old").string() + "' '" +
                       (dir / "frame").string() + "' -o '" + (dir / "zstd-out").string() + "'"),
              0);
    EXPECT_TRUE(ReadFile(dir / "zstd-out") == changed);

    // Empty reference and empty result are ordinary cases.
    ASSERT_EQ(MakeFrame(dir / "empty", dir / "new", dir / "frame2"), TPatchStatus::Ok);
    EXPECT_EQ(ApplyFrame(dir / "empty", dir / "frame2", out), TPatchStatus::Ok);
    EXPECT_TRUE(out == changed);
    ASSERT_EQ(MakeFrame(dir / "old", dir / "empty", dir / "frame3"), TPatchStatus::Ok);
    EXPECT_EQ(ApplyFrame(dir / "old", dir / "frame3", out), TPatchStatus::Ok);
    EXPECT_TRUE(out.empty());
}

// What the applier refuses: another reference, a cut frame, bytes after the
// frame, garbage, a window above the bound; and what the maker refuses.
TEST(Patch, RefusesWhatItCannotTrust) {
    TempDir dir;
    const std::string old = RandomBytes(1 << 20, 5);
    WriteFile(dir / "old", old);
    WriteFile(dir / "other", Changed(old, 500000, 100, 6));
    WriteFile(dir / "new", Changed(old, 7000, 100, 7));
    ASSERT_EQ(MakeFrame(dir / "old", dir / "new", dir / "frame"), TPatchStatus::Ok);
    const std::string frame = ReadFile(dir / "frame");
    std::string out;

    EXPECT_EQ(ApplyFrame(dir / "other", dir / "frame", out), TPatchStatus::BadFrame);
    WriteFile(dir / "cut", frame.substr(0, frame.size() - 3));
    EXPECT_EQ(ApplyFrame(dir / "old", dir / "cut", out), TPatchStatus::BadFrame);
    WriteFile(dir / "twice", frame + frame);
    EXPECT_EQ(ApplyFrame(dir / "old", dir / "twice", out), TPatchStatus::BadFrame);
    WriteFile(dir / "garbage", RandomBytes(4000, 8));
    EXPECT_EQ(ApplyFrame(dir / "old", dir / "garbage", out), TPatchStatus::BadFrame);

    // A frame whose window is above the bound (made by the zstd program).
    WriteFile(dir / "big", RandomBytes(40 << 20, 9));
    ASSERT_EQ(RunShell("zstd -q -f -1 --long=27 '" + (dir / "big").string() + "' -o '" +
                       (dir / "wide").string() + "'"),
              0);
    EXPECT_EQ(ApplyFrame(dir / "old", dir / "wide", out), TPatchStatus::WindowTooLarge);
    EXPECT_LT(out.size(), 1u << 20);

    EXPECT_EQ(MakeFrame(dir / "big", dir / "new", dir / "frame4"), TPatchStatus::TooLarge);
    EXPECT_TRUE(TPatchEncoder::Fits(16 << 20, 16 << 20));
    EXPECT_FALSE(TPatchEncoder::Fits(16 << 20, (16 << 20) + 1));
}
