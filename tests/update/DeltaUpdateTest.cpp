#include "HttpServerProcess.h"
#include "InstallTestSupport.h"
#include "LocalHttpServer.h"
#include "TempDir.h"
#include "UpdateTestSupport.h"

#include "DeltaMaker.h"
#include "ReleaseRecord.h"
#include "TSigningKey.h"
#include "TUpdate.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <functional>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const std::string kPackagePath = "/downloads/DirevidUreziv.cab";
const std::string kDeltaPath = kPackagePath + ".from-1";

using Files = std::map<std::string, std::string>;

std::string Varied(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 977 + seed) % 251);
    return bytes;
}

// Release 1 installed in a folder; release 2 published as a full package and
// as a delta from 1, each with its signed statement.
class DeltaUpdate : public testing::Test {
protected:
    void SetUp() override {
        std::string changed = Varied(300000, 1);
        changed.replace(1000, 5, "delta");
        oldFiles = {{"version.txt", "Quorvel 1.0"},
                    {"data/quorvel.dat", Varied(300000, 1)},
                    {"data/same.dat", Varied(200000, 7)}};
        newFiles = {{"version.txt", "Quorvel 2.0"},
                    {"data/quorvel.dat", changed},
                    {"data/same.dat", Varied(200000, 7)},
                    {"docs/new.txt", "new in 2"}};
        MakeCabinetFile(work / "old.cab", work / "old", oldFiles);
        MakeCabinetFile(work / "new.cab", work / "new", newFiles);
        const DeltaMaker::TResult made = DeltaMaker::Make(
            (work / "old.cab").string(), (work / "new.cab").string(), (work / "delta").string());
        ASSERT_TRUE(made.ok) << made.error;
        package = ReadFile(work / "new.cab");
        delta = ReadFile(work / "delta");
        PutOldProduct();
        Publish();
    }

    // A new server with release 2 and its delta from 1; what `first` serves
    // takes the place of those (the first answer given for a path is used).
    void Publish(const std::function<void(LocalHttpServer&)>& first = {}) {
        server = std::make_unique<LocalHttpServer>();
        Offer(*server, first);
        url = server->Url(kPackagePath);
    }
    // The same from a process of its own, for a test that forks the run.
    void PublishApart(const std::function<void(LocalHttpServer&)>& first) {
        server.reset();
        apart = std::make_unique<HttpServerProcess>([&](LocalHttpServer& on) { Offer(on, first); });
        url = apart->Url(kPackagePath);
    }
    void Offer(LocalHttpServer& on, const std::function<void(LocalHttpServer&)>& first) const {
        if (first)
            first(on);
        on.ServeBytes(kPackagePath, package);
        on.ServeBytes(kPackagePath + ".release", Statement(package, "DirevidUreziv.cab", 2, 0));
        on.ServeBytes(kDeltaPath, delta);
        on.ServeBytes(kDeltaPath + ".release", Statement(delta, "DirevidUreziv.cab.from-1", 2, 1));
    }

    void PutOldProduct() {
        fs::remove_all(folder.Path());
        fs::create_directories(folder.Path());
        for (const auto& [name, bytes] : oldFiles)
            WriteFile(folder / name, bytes);
        WriteFile(folder / "old-only.txt", "kept");
        WriteFile(folder / ReleaseRecord::Name(QStringLiteral("DirevidUreziv.cab")).toStdString(),
                  ReleaseRecord::Text(1));
    }

    std::string Statement(const std::string& bytes, const std::string& name, std::uint64_t release,
                          std::uint64_t base) const {
        return SignedStatement(key, bytes, name, release, base);
    }

    TUpdateOutcome Run(TFileOps* ops = nullptr, std::uint64_t* lastTotal = nullptr) {
        TUpdateSettings settings;
        settings.folder = QString::fromStdString(folder.Slash());
        settings.url = QString::fromStdString(url);
        settings.key = QString::fromStdString(key.PublicKey().Base64());
        settings.ops = ops;
        TUpdate update(settings);
        update.OnProgress = [&](const TUpdateProgress& progress) {
            if (lastTotal)
                *lastTotal = progress.total;
        };
        TWebCopy engine;
        return update.Run(engine);
    }

    // The product's files and their bytes: the package, the lock and the
    // delta files aside (times differ from one laying out to the next).
    Files Product() const {
        Files files;
        for (const auto& entry : fs::recursive_directory_iterator(folder.Path())) {
            const std::string path = fs::relative(entry.path(), folder.Path()).string();
            if (entry.is_regular_file() && path != "DirevidUreziv.cab" && path != kLockName &&
                path.rfind(".DirevidUreziv.delta-", 0) != 0)
                files[path] = ReadFile(entry.path());
        }
        return files;
    }
    bool AnyDeltaLeft() const {
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            if (entry.path().filename().string().rfind(".DirevidUreziv.delta-", 0) == 0)
                return true;
        return false;
    }
    void ExpectNewRelease(std::uint64_t release = 2) const {
        for (const auto& [name, bytes] : newFiles)
            EXPECT_EQ(ReadFile(folder / name), bytes) << name;
        EXPECT_EQ(ReadFile(folder / "old-only.txt"), "kept");
        EXPECT_EQ(
            ReleaseRecord::Read(QString::fromStdString(folder.Slash()), QStringLiteral("DirevidUreziv.cab")),
            release);
        EXPECT_FALSE(AnyDeltaLeft());
    }

    TempDir folder, work;
    std::unique_ptr<LocalHttpServer> server;
    std::unique_ptr<HttpServerProcess> apart;
    std::string url;
    TSigningKey key = NewSigningKey();
    Files oldFiles, newFiles;
    std::string package, delta;
};

TEST_F(DeltaUpdate, TheDeltaBuildsTheNewReleaseFromTheInstalledFiles) {
    std::uint64_t lastTotal = 0;
    EXPECT_EQ(Run(nullptr, &lastTotal).reason, TUpdateReason::Installed);
    ExpectNewRelease();
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab")) << "the full package was never downloaded";
    EXPECT_EQ(lastTotal, delta.size()) << "progress counts the delta's bytes";
    EXPECT_LT(delta.size() * 5, package.size());
    EXPECT_EQ(Run().reason, TUpdateReason::UpToDate);
}

TEST_F(DeltaUpdate, WhateverDoesNotFitFallsBackToTheFullPackageInTheSameRun) {
    const std::string good = ReadFile(work / "delta");
    std::string damaged = delta;
    damaged[damaged.size() / 2] ^= 0x55;
    // A delta whose patch is no patch, under a statement that vouches for it.
    TSha512 sha;
    sha.Update(oldFiles["data/quorvel.dat"].data(), oldFiles["data/quorvel.dat"].size());
    TSha512::Digest base{}, result{};
    sha.Final(base);
    TSha512 sha2;
    sha2.Update(newFiles["data/quorvel.dat"].data(), newFiles["data/quorvel.dat"].size());
    sha2.Final(result);
    MakeCabinetFile(
        work / "badpatch.cab", work / "badpatch",
        {{".delta-manifest", "quorvel-delta 1\npatch " + TSha512::Hex(base) + " " + TSha512::Hex(result) +
                                 " " + std::to_string(newFiles["data/quorvel.dat"].size()) +
                                 " f1 data/quorvel.dat\nend\n"},
         {"f1", std::string(5000, 'p')}});
    const std::string badPatch = ReadFile(work / "badpatch.cab");

    std::uint64_t expected = 2;
    struct Case {
        const char* what;
        std::function<void(LocalHttpServer&)> arrange;
    };
    const std::vector<Case> cases = {
        {"no delta statement",
         [&](LocalHttpServer& server) { server.ServeStatus(kDeltaPath + ".release", 404); }},
        {"the delta's statement for another base",
         [&](LocalHttpServer& server) {
             // Release 3 is out; the statement of its delta from 2 is served as the one from 1.
             server.ServeBytes(kPackagePath + ".release", Statement(package, "DirevidUreziv.cab", 3, 0));
             server.ServeBytes(kDeltaPath + ".release", Statement(good, "DirevidUreziv.cab.from-2", 3, 2));
             expected = 3;
         }},
        {"a full package's statement for the delta",
         [&](LocalHttpServer& server) {
             server.ServeBytes(kDeltaPath + ".release", Statement(good, "DirevidUreziv.cab.from-1", 2, 0));
         }},
        {"a statement for another release",
         [&](LocalHttpServer& server) {
             server.ServeBytes(kDeltaPath + ".release", Statement(good, "DirevidUreziv.cab.from-1", 3, 1));
         }},
        {"a delta that is not the stated one",
         [&](LocalHttpServer& server) { server.ServeBytes(kDeltaPath, damaged); }},
        {"an installed file changed",
         [&](LocalHttpServer&) { WriteFile(folder / "data/quorvel.dat", Varied(300000, 2)); }},
        {"an installed file missing", [&](LocalHttpServer&) { fs::remove(folder / "data/quorvel.dat"); }},
        {"a patch that does not apply",
         [&](LocalHttpServer& server) {
             server.ServeBytes(kDeltaPath, badPatch);
             server.ServeBytes(kDeltaPath + ".release",
                               Statement(badPatch, "DirevidUreziv.cab.from-1", 2, 1));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutOldProduct();
        expected = 2;
        Publish(c.arrange);
        const TUpdateOutcome outcome = Run();
        EXPECT_EQ(outcome.reason, TUpdateReason::Installed);
        EXPECT_EQ(outcome.message.toStdString(), "Quorvel has been successfully updated!");
        ExpectNewRelease(expected);
        EXPECT_TRUE(fs::exists(folder / "DirevidUreziv.cab")) << "the full package was installed";
    }
}

TEST_F(DeltaUpdate, AnInterruptedDeltaIsResumedAndOneOfAnotherStatementGoes) {
    TSha512 sha;
    sha.Update(delta.data(), delta.size());
    TSha512::Digest digest{};
    sha.Final(digest);
    const std::string kept = ".DirevidUreziv.delta-" + TSha512::Hex(digest).substr(0, 32);
    WriteFile(folder / kept, delta.substr(0, delta.size() / 2));
    WriteFile(folder / ".DirevidUreziv.delta-0123456789abcdef0123456789abcdef", "of an older statement");
    std::string range;
    Publish([&](LocalHttpServer& server) {
        server.ServeWith(kDeltaPath, [&](const httplib::Request& request, httplib::Response& response) {
            range = request.get_header_value("Range");
            // The server answers the range with 206 and those bytes alone.
            response.set_content(delta, "application/octet-stream");
        });
    });
    EXPECT_EQ(Run().reason, TUpdateReason::Installed);
    EXPECT_EQ(range, "bytes=" + std::to_string(delta.size() / 2) + "-");
    ExpectNewRelease();
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab")) << "the delta was used";
}

TEST_F(DeltaUpdate, ANewerReleaseInstalledMeanwhileIsNeverRolledBack) {
    const std::string record = ReleaseRecord::Name(QStringLiteral("DirevidUreziv.cab")).toStdString();
    Publish([&](LocalHttpServer& server) {
        server.ServeWith(kDeltaPath, [&](const httplib::Request&, httplib::Response& response) {
            // Another updater records release 3 while this one downloads the delta.
            WriteFile(folder / record, ReleaseRecord::Text(3));
            response.set_content(delta, "application/octet-stream");
        });
    });
    EXPECT_NE(Run().reason, TUpdateReason::Installed);
    EXPECT_EQ(ReadFile(folder / record), ReleaseRecord::Text(3));
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 1.0");
    EXPECT_FALSE(AnyDeltaLeft());
}

TEST_F(DeltaUpdate, AKillAtEveryFileOperationLeavesTheOldOrTheNewRelease) {
    const Files oldProduct = Product();
    ASSERT_EQ(Run().reason, TUpdateReason::Installed);
    const Files newProduct = Product();
    // The full package is never served: what is installed comes from the delta.
    PublishApart([](LocalHttpServer& server) { server.ServeStatus(kPackagePath, 404); });
    const int killed = KillAtEveryCall(
        [&] { PutOldProduct(); }, [&](TFileOps& ops) { return Run(&ops).reason == TUpdateReason::Installed; },
        [&](bool wasKilled, bool installed) {
            if (!wasKilled) {
                EXPECT_TRUE(installed);
                EXPECT_EQ(Product(), newProduct);
                return;
            }
            // The next start undoes what did not commit.
            TUpdateSettings settings;
            settings.folder = QString::fromStdString(folder.Slash());
            ASSERT_TRUE(TUpdate(settings).Recover());
            const Files now = Product();
            EXPECT_TRUE(now == oldProduct || now == newProduct);
        });
    EXPECT_GT(killed, 5);
}

} // namespace
