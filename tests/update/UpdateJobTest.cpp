#include "LocalHttpServer.h"
#include "TempDir.h"
#include "UpdateTestSupport.h"

#include "ReleaseRecord.h"
#include "SignatureError.h"
#include "TFreshnessStatement.h"
#include "TKeyDocument.h"
#include "TSigningKey.h"
#include "TUpdate.h"
#include "UtcTime.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const char* const kPackagePath = "/downloads/DirevidUreziv.cab";
const char* const kStatementPath = "/downloads/DirevidUreziv.cab.release";
constexpr std::int64_t kServerTime = 1767225600;

HttpReply Dated() {
    HttpReply reply;
    reply.lastModified = kServerTime;
    return reply;
}

// One update of a product folder with no window: what a script, a timer or
// another program sees.
class UpdateJob : public testing::Test {
protected:
    void SetUp() override {
        WriteFile(folder / "version.txt", "Quorvel 1.0");
        package = MakeCabinet("Quorvel 2.0");
    }

    // A cabinet (made with gcab) carrying version.txt and a larger file.
    std::string MakeCabinet(const std::string& version) {
        const fs::path source = work / "source";
        WriteFile(source / "version.txt", version);
        WriteFile(source / "data/quorvel.dat", std::string(90000, 'q'));
        const std::string command = "cd '" + source.string() + "' && gcab -c -z '" +
                                    (work / "pkg.cab").string() + "' version.txt data/quorvel.dat >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return ReadFile(work / "pkg.cab");
    }
    TUpdateSettings Settings(const std::string& key = "") const {
        TUpdateSettings settings;
        settings.folder = QString::fromStdString(folder.Slash());
        settings.url = QString::fromStdString(serving->Url(kPackagePath));
        settings.key = QString::fromStdString(key);
        return settings;
    }
    TUpdateReason Run(const std::string& key = "", TUpdate::TMode mode = TUpdate::TMode::Update) {
        TUpdate update(Settings(key));
        TWebCopy engine;
        return update.Run(engine, mode).reason;
    }
    bool Installed() const { return ReadFile(folder / "version.txt") == "Quorvel 2.0"; }

    TempDir folder, work;
    LocalHttpServer server;
    LocalHttpServer* serving = &server; // the server runs ask
    std::string package;
};

TEST_F(UpdateJob, RunInstallsTheNewerPackageThenFindsTheProductCurrent) {
    server.ServeBytes(kPackagePath, package, Dated());
    EXPECT_EQ(Run("", TUpdate::TMode::Check), TUpdateReason::UpdateAvailable);
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab")) << "a check downloads nothing";

    TUpdate update(Settings());
    std::vector<TUpdateReason> outcomes;
    std::uint64_t lastDone = 0;
    update.OnOutcome = [&](const TUpdateOutcome& outcome) { outcomes.push_back(outcome.reason); };
    update.OnProgress = [&](const TUpdateProgress& progress) { lastDone = progress.done; };
    TWebCopy engine;
    const TUpdateOutcome outcome = update.Run(engine);
    EXPECT_EQ(outcome.reason, TUpdateReason::Installed);
    EXPECT_EQ(outcome.message.toStdString(), "Quorvel has been successfully updated!");
    EXPECT_EQ(outcomes, std::vector<TUpdateReason>{TUpdateReason::Installed});
    EXPECT_EQ(lastDone, package.size());
    EXPECT_TRUE(Installed());
    EXPECT_EQ(ReadFile(folder / "data/quorvel.dat"), std::string(90000, 'q'));

    // The installed package is newer than the server's copy from now on.
    EXPECT_EQ(Run("", TUpdate::TMode::Check), TUpdateReason::UpToDate);
    EXPECT_EQ(Run(), TUpdateReason::UpToDate);
}

TEST_F(UpdateJob, FailuresEndInTheErrorWithTheProductAsItWas) {
    server.ServeStatus(kPackagePath, 404);
    TUpdate update(Settings());
    TWebCopy engine;
    const TUpdateOutcome outcome = update.Run(engine);
    EXPECT_EQ(outcome.reason, TUpdateReason::DownloadFailed);
    EXPECT_EQ(outcome.engineError, 404);
    EXPECT_EQ(outcome.message.toStdString(), "Error Updating the Quorvel! Please try again.");
    EXPECT_EQ(Run("", TUpdate::TMode::Check), TUpdateReason::DownloadFailed);

    // Not a cabinet: refused before it replaces anything.
    server.ServeBytes(kPackagePath, std::string(5000, 'x'), Dated());
    EXPECT_EQ(Run(), TUpdateReason::DownloadFailed);
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 1.0");
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab"));
}

TEST_F(UpdateJob, WithAKeyTheStatementAloneDecides) {
    const TSigningKey key = NewSigningKey();
    const std::string publicKey = key.PublicKey().Base64();
    // No Last-Modified at all: nothing but the statement is asked.
    server.ServeBytes(kPackagePath, package);
    server.ServeBytes(kStatementPath, PackageStatement(key, package, 2));
    EXPECT_EQ(Run(publicKey, TUpdate::TMode::Check), TUpdateReason::UpdateAvailable);
    EXPECT_EQ(Run(publicKey), TUpdateReason::Installed);
    EXPECT_TRUE(Installed());
    EXPECT_EQ(
        ReleaseRecord::Read(QString::fromStdString(folder.Slash()), QStringLiteral("DirevidUreziv.cab")), 2u);
    EXPECT_EQ(Run(publicKey, TUpdate::TMode::Check), TUpdateReason::UpToDate);
    EXPECT_EQ(Run(publicKey), TUpdateReason::UpToDate);

    // A statement by another key is refused, and nothing is downloaded.
    const TSigningKey other = NewSigningKey();
    const std::string next = MakeCabinet("Quorvel 3.0");
    LocalHttpServer mirror;
    mirror.ServeBytes(kPackagePath, next);
    mirror.ServeBytes(kStatementPath, PackageStatement(other, next, 3));
    serving = &mirror;
    EXPECT_EQ(Run(publicKey), TUpdateReason::Refused);
    EXPECT_EQ(Run(publicKey, TUpdate::TMode::Check), TUpdateReason::Refused);
    EXPECT_TRUE(Installed());
}

// The program itself, as an administrator runs it over a remote shell:
// no display, no window system.
TEST_F(UpdateJob, TheCommandLineUpdatesWithNoDisplay) {
    server.ServeBytes(kPackagePath, package, Dated());
    auto run = [&](const std::string& option, const std::string& url) {
        const std::string command = "LSAN_OPTIONS=\"$LSAN_OPTIONS:print_suppressions=0\" env -u DISPLAY -u "
                                    "WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" QUORVEL_UPDATER "' " +
                                    option + " --folder '" + folder.Slash() + "' --url '" + url + "' >'" +
                                    (work / "out.txt").string() + "' 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string url = server.Url(kPackagePath);
    EXPECT_EQ(run("--check", url), 10);
    EXPECT_EQ(ReadFile(work / "out.txt"), "An update is available.\n");
    EXPECT_EQ(run("--update", url), 0);
    EXPECT_EQ(ReadFile(work / "out.txt"), "Quorvel has been successfully updated!\n");
    EXPECT_TRUE(Installed());
    EXPECT_EQ(run("--check", url), 0);
    EXPECT_EQ(ReadFile(work / "out.txt"), "There is not available update. Your version is current!\n");
    EXPECT_EQ(run("--update", server.Url("/missing.cab")), 1);
    EXPECT_EQ(ReadFile(work / "out.txt"), "Error Updating the Quorvel! Please try again.\n");
}

} // namespace

namespace {

TKeyDocument Document(std::uint64_t number, const TSigningKey& root, const TSigningKey& release,
                      const TSigningKey& freshness) {
    TKeyDocument::TFacts facts;
    facts.product = "Quorvel";
    facts.number = number;
    facts.expires = UtcTime::Now() + 365 * 86400;
    facts.roots = {root.PublicKey()};
    facts.threshold = 1;
    facts.releaseKeys = {release.PublicKey()};
    facts.freshnessKey = freshness.PublicKey();
    facts.maxJump = 1000;
    SignatureError error = SignatureError::kNone;
    auto document = TKeyDocument::Make(facts, error);
    EXPECT_TRUE(document) << SignatureErrorText(error);
    EXPECT_EQ(document->Sign(root), SignatureError::kNone);
    return *document;
}

std::string Fresh(const TSigningKey& freshness, std::uint64_t release, std::uint64_t keys) {
    TFreshnessStatement::TFacts facts{"Quorvel", "DirevidUreziv.cab",       "", release,
                                      keys,      UtcTime::Now() + 7 * 86400};
    SignatureError error = SignatureError::kNone;
    const auto fresh = TFreshnessStatement::Make(facts, freshness, error);
    EXPECT_TRUE(fresh) << SignatureErrorText(error);
    return fresh ? fresh->Text() : std::string();
}

// With root keys built in, the updater follows the key documents published
// beside the package: a release key revoked by the next document signs
// nothing that installs, however fresh its statement.
TEST_F(UpdateJob, WithRootKeysAStolenReleaseKeyIsRevokedByTheNextDocument) {
    const TSigningKey root = NewSigningKey(), release = NewSigningKey(), stolen = NewSigningKey(),
                      freshness = NewSigningKey();
    TUpdateSettings settings = Settings();
    settings.rootKeys = {QString::fromStdString(root.PublicKey().Base64())};
    auto run = [&] {
        TUpdate update(settings);
        TWebCopy engine;
        return update.Run(engine).reason;
    };
    server.ServeBytes("/downloads/keys/1.keys", Document(1, root, stolen, freshness).Text());
    server.ServeBytes(kPackagePath, package);
    server.ServeBytes(kStatementPath, PackageStatement(stolen, package, 2));
    server.ServeBytes("/downloads/DirevidUreziv.cab.fresh", Fresh(freshness, 2, 1));
    EXPECT_EQ(run(), TUpdateReason::Installed);

    // The vendor learns the key was stolen: document 2 names a new release key.
    const std::string next = MakeCabinet("Quorvel 3.0");
    LocalHttpServer mirror;
    mirror.ServeBytes("/downloads/keys/1.keys", Document(1, root, stolen, freshness).Text());
    mirror.ServeBytes("/downloads/keys/2.keys", Document(2, root, release, freshness).Text());
    mirror.ServeBytes(kPackagePath, next);
    mirror.ServeBytes(kStatementPath, PackageStatement(stolen, next, 3));
    mirror.ServeBytes("/downloads/DirevidUreziv.cab.fresh", Fresh(freshness, 3, 2));
    settings.url = QString::fromStdString(mirror.Url(kPackagePath));
    EXPECT_EQ(run(), TUpdateReason::Refused);
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 2.0");
}

} // namespace
