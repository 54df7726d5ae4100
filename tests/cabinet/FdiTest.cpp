#include "Fdi.h"
#include "CabBuilder.h"
#include "CabTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <unistd.h>

using namespace quorvel;

namespace {

// Callbacks over POSIX files that record what they are asked to do and can
// be made to fail.
struct Recorder {
    std::vector<std::string> opened;
    std::map<Fdi::FileHandle, std::string> written; // by output handle
    int allocs = 0, frees = 0;
    int failAllocAfter = -1; // allocations that succeed before failures start
    int failReadAfter = -1;

    Fdi::TCallbacks Callbacks() {
        Fdi::TCallbacks c;
        c.alloc = [this](std::size_t n) -> void* {
            if (failAllocAfter >= 0 && allocs >= failAllocAfter)
                return nullptr;
            ++allocs;
            return std::malloc(n);
        };
        c.free = [this](void* p) {
            ++frees;
            std::free(p);
        };
        c.open = [this](const std::string& name, int flags, int mode) -> Fdi::FileHandle {
            opened.push_back(name);
            const int fd = ::open(name.c_str(), flags, mode);
            return fd < 0 ? -1 : fd;
        };
        c.read = [this](Fdi::FileHandle h, void* b, std::uint32_t n) -> std::int64_t {
            if (failReadAfter == 0)
                return -1;
            if (failReadAfter > 0)
                --failReadAfter;
            return ::read(static_cast<int>(h), b, n);
        };
        c.write = [this](Fdi::FileHandle h, const void* b, std::uint32_t n) -> std::int64_t {
            written[h].append(static_cast<const char*>(b), n);
            return n;
        };
        c.close = [](Fdi::FileHandle h) { return h >= 1000 ? 0 : ::close(static_cast<int>(h)); };
        c.seek = [](Fdi::FileHandle h, std::int64_t d, int o) -> std::int64_t {
            return ::lseek(static_cast<int>(h), d, o);
        };
        return c;
    }
};

struct Event {
    Fdi::TNotificationType type;
    Fdi::TNotification n;
};

std::string Folder(const fs::path& cab) {
    return cab.parent_path().string() + "/";
}

TEST(FdiLayer, ReportsEveryFileAndRoutesAllInputAndOutputThroughTheCallbacks) {
    Recorder rec;
    Fdi::TErf erf;
    Fdi::HFDI fdi = Fdi::Create(rec.Callbacks(), Fdi::TCpuType::cpu80386, &erf);
    ASSERT_NE(fdi, nullptr);
    TempDir work;
    const fs::path cab = work / "two.cab";
    const Tree files = TwoFileCabinet(cab);
    std::vector<Event> events;
    Fdi::FileHandle next = 1000;
    int marker = 0;
    const bool ok = Fdi::Copy(
        fdi, cab.filename().string(), Folder(cab), 0,
        [&](Fdi::TNotificationType type, Fdi::TNotification& n) -> Fdi::FileHandle {
            EXPECT_EQ(n.pv, &marker);
            events.push_back({type, n});
            if (type == Fdi::fdintCOPY_FILE)
                return next++;
            return type == Fdi::fdintCLOSE_FILE_INFO ? 1 : 0;
        },
        nullptr, &marker);
    EXPECT_TRUE(ok);
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].type, Fdi::fdintCABINET_INFO);
    EXPECT_EQ(events[0].n.psz3, Folder(cab));
    EXPECT_EQ(events[1].type, Fdi::fdintCOPY_FILE);
    EXPECT_EQ(events[1].n.psz1, "hello.c");
    EXPECT_EQ(events[1].n.cb, static_cast<std::int64_t>(files.at("hello.c").size()));
    EXPECT_EQ(events[1].n.date, ((1997 - 1980) << 9) | (3 << 5) | 12);
    EXPECT_EQ(events[1].n.time, (11 << 11) | (13 << 5) | (52 / 2));
    EXPECT_EQ(events[2].type, Fdi::fdintCLOSE_FILE_INFO);
    EXPECT_EQ(events[2].n.hf, 1000);
    EXPECT_EQ(events[3].n.psz1, "welcome.c");
    EXPECT_EQ(events[4].n.hf, 1001);
    EXPECT_EQ(events[5].type, Fdi::fdintENUMERATE);
    EXPECT_EQ(rec.written[1000], files.at("hello.c"));
    EXPECT_EQ(rec.written[1001], files.at("welcome.c"));
    ASSERT_FALSE(rec.opened.empty());
    for (const std::string& name : rec.opened)
        EXPECT_EQ(name, cab.string());
    EXPECT_TRUE(Fdi::Destroy(fdi));
    EXPECT_EQ(rec.allocs, rec.frees);
}

TEST(FdiLayer, SkipAndAbortAnswers) {
    Recorder rec;
    Fdi::HFDI fdi = Fdi::Create(rec.Callbacks(), Fdi::TCpuType::cpu80386, nullptr);
    TempDir work;
    const fs::path cab = work / "two.cab";
    TwoFileCabinet(cab);
    int copies = 0;
    EXPECT_TRUE(Fdi::Copy(
        fdi, cab.filename().string(), Folder(cab), 0,
        [&](Fdi::TNotificationType type, Fdi::TNotification&) -> Fdi::FileHandle {
            copies += type == Fdi::fdintCOPY_FILE;
            return 0;
        },
        nullptr, nullptr));
    EXPECT_EQ(copies, 2);
    EXPECT_TRUE(rec.written.empty());
    EXPECT_FALSE(Fdi::Copy(
        fdi, cab.filename().string(), Folder(cab), 0,
        [](Fdi::TNotificationType type, Fdi::TNotification&) -> Fdi::FileHandle {
            return type == Fdi::fdintCOPY_FILE ? -1 : 0;
        },
        nullptr, nullptr));
    EXPECT_EQ(Fdi::LastError(fdi).oper, Fdi::TFdiError::UserAbort);
    EXPECT_FALSE(Fdi::Copy(
        fdi, "missing.cab", Folder(cab), 0,
        [](Fdi::TNotificationType, Fdi::TNotification&) -> Fdi::FileHandle { return 0; }, nullptr, nullptr));
    EXPECT_EQ(Fdi::LastError(fdi).oper, Fdi::TFdiError::CabinetNotFound);
    EXPECT_TRUE(Fdi::Destroy(fdi));
}

TEST(FdiLayer, IsCabinetReadsTheHeader) {
    Recorder rec;
    Fdi::HFDI fdi = Fdi::Create(rec.Callbacks(), Fdi::TCpuType::cpu80386, nullptr);
    Fdi::TCabinetInfo info;
    TempDir set;
    Tree first, last;
    MakeSet(set.Path(), first, last);
    const int cab = ::open((set / "set3.cab").c_str(), O_RDONLY);
    EXPECT_TRUE(Fdi::IsCabinet(fdi, cab, &info));
    EXPECT_EQ(info.cFiles, 2);
    EXPECT_EQ(info.cFolders, 2);
    EXPECT_EQ(info.iCabinet, 2);
    EXPECT_TRUE(info.hasprev);
    EXPECT_FALSE(info.hasnext);
    ::close(cab);
    const auto damaged = DamagedCabinets();
    WriteFile(set / "bad_signature", damaged.at("bad_signature"));
    WriteFile(set / "short_header", damaged.at("short_header"));
    WriteFile(set / "embedded", "x" + ReadFile(set / "set1.cab"));
    WriteFile(set / "text", "MSC is not enough");
    for (const char* name : {"bad_signature", "short_header", "embedded", "text"}) {
        const int fd = ::open((set / name).c_str(), O_RDONLY);
        EXPECT_FALSE(Fdi::IsCabinet(fdi, fd, &info)) << name;
        ::close(fd);
    }
    Fdi::Destroy(fdi);
}

TEST(FdiLayer, FailingCallbacksEndInAnErrorNotACrash) {
    TempDir work;
    const fs::path cab = work / "mixed.cab";
    Tree files;
    WriteFile(cab, MixedLayout(files).Build());
    auto answer = [](Fdi::TNotificationType type, Fdi::TNotification&) -> Fdi::FileHandle {
        return type == Fdi::fdintCOPY_FILE ? 2000 : type == Fdi::fdintCLOSE_FILE_INFO ? 1 : 0;
    };
    for (int limit = 0; limit < 12; ++limit) {
        Recorder rec;
        rec.failAllocAfter = limit;
        Fdi::HFDI fdi = Fdi::Create(rec.Callbacks(), Fdi::TCpuType::cpu80386, nullptr);
        if (!fdi)
            continue;
        Fdi::Copy(fdi, cab.filename().string(), Folder(cab), 0, answer, nullptr, nullptr);
        Fdi::Destroy(fdi);
        EXPECT_EQ(rec.allocs, rec.frees) << limit;
    }
    for (int reads = 0; reads < 8; ++reads) {
        Recorder rec;
        rec.failReadAfter = reads;
        Fdi::HFDI fdi = Fdi::Create(rec.Callbacks(), Fdi::TCpuType::cpu80386, nullptr);
        EXPECT_FALSE(Fdi::Copy(fdi, cab.filename().string(), Folder(cab), 0, answer, nullptr, nullptr))
            << reads;
        Fdi::Destroy(fdi);
    }
}

} // namespace
