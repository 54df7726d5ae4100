#include "InstallTestSupport.h"
#include "LocalHttpServer.h"
#include "TempDir.h"
#include "TestCertificates.h"
#include "UpdateTestSupport.h"

#include "InetSession.h"
#include "TUpdate.h"
#include "UpdateTexts.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const char* const kPackagePath = "/downloads/DirevidUreziv.cab";
const char* const kStatementPath = "/downloads/DirevidUreziv.cab.release";
const char* const kRecord = ".DirevidUreziv.release";
constexpr std::int64_t kServerTime = 1767225600;

HttpReply Dated(std::int64_t time = kServerTime) {
    HttpReply reply;
    reply.lastModified = time;
    return reply;
}

// Updates with keys built in, run with no window: what the statement lets
// through, what it stops, and what is left in the folder either way.
class SignedRun : public testing::Test {
protected:
    void SetUp() override {
        WriteFile(folder / "version.txt", "Quorvel 1.0");
        package = MakeCabinet("Quorvel 2.0");
    }

    std::string MakeCabinet(const std::string& version) {
        MakeCabinetFile(work / "pkg.cab", work / "source",
                        {{"version.txt", version}, {"quorvel.dat", std::string(90000, 'q')}});
        return ReadFile(work / "pkg.cab");
    }
    static void Serve(LocalHttpServer& on, const std::string& bytes,
                      const std::optional<std::string>& statement, const HttpReply& reply = Dated()) {
        on.ServeBytes(kPackagePath, bytes, reply);
        if (statement)
            on.ServeBytes(kStatementPath, *statement);
        else
            on.ServeStatus(kStatementPath, 404);
    }
    TUpdateSettings Settings(const LocalHttpServer& on, const std::string& keyText,
                             const std::string& nextKey = "") const {
        TUpdateSettings settings;
        settings.folder = QString::fromStdString(folder.Slash());
        settings.url = QString::fromStdString(on.Url(kPackagePath));
        settings.key = QString::fromStdString(keyText);
        settings.nextKey = QString::fromStdString(nextKey);
        return settings;
    }
    TUpdateOutcome Run(const LocalHttpServer& on, const std::string& keyText,
                       const std::string& nextKey = "") {
        TUpdate update(Settings(on, keyText, nextKey));
        TWebCopy engine;
        return update.Run(engine);
    }
    std::string Key() const { return key.PublicKey().Base64(); }
    std::string Version() const { return ReadFile(folder / "version.txt"); }
    std::string Record() const { return fs::exists(folder / kRecord) ? ReadFile(folder / kRecord) : "none"; }
    // The update folder's names, the lock file aside.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            if (entry.path().filename() != kLockName)
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void PutOldProduct() {
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            fs::remove_all(entry.path());
        WriteFile(folder / "version.txt", "Quorvel 1.0");
    }

    TempDir work;
    TempDir folder;
    LocalHttpServer server;
    TSigningKey key = NewSigningKey();
    std::string package;
};

TEST_F(SignedRun, AStatementThatCountsInstallsRecordsItsReleaseAndTheNextRunIsUpToDate) {
    const TSigningKey next = NewSigningKey();
    const TestCertificates certs(work.Path());
    LocalHttpServer tls(certs.serverCert, certs.serverKey);
    const struct {
        const char* what;
        bool overTls;
        std::optional<std::string> statement;
        std::string key, nextKey;
        std::string record;    // what the folder records after the run
        int statementRequests; // by both runs
        int packageAskedAgain; // by the second run
    } cases[] = {
        {"the current key's", false, PackageStatement(key, package, 3), Key(), "", "3\n", 2, 0},
        {"the next key's", false, PackageStatement(next, package, 3), Key(), next.PublicKey().Base64(), "3\n",
         2, 0},
        {"over verified https", true, PackageStatement(key, package, 3), Key(), "", "3\n", 2, 0},
        {"none, without a key: the server's date decides", false, std::nullopt, "", "", "none", 0, 1},
    };
    InetSession::SetTrustedCertificates(certs.authority.string());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PutOldProduct();
        LocalHttpServer plain;
        LocalHttpServer& on = c.overTls ? tls : plain;
        Serve(on, package, c.statement);
        const TUpdateOutcome outcome = Run(on, c.key, c.nextKey);
        EXPECT_EQ(outcome.reason, TUpdateReason::Installed);
        EXPECT_EQ(outcome.message.toStdString(), UpdateTexts::kSuccess);
        EXPECT_EQ(Version(), "Quorvel 2.0");
        EXPECT_EQ(Record(), c.record);
        std::vector<std::string> names = {"DirevidUreziv.cab", "quorvel.dat", "version.txt"};
        if (c.record != "none")
            names.insert(names.begin(), kRecord);
        EXPECT_EQ(Names(), names);

        // Nothing newer: nothing fetched but the statement (without a key,
        // the package is asked for and left at its date).
        EXPECT_EQ(Run(on, c.key, c.nextKey).reason, TUpdateReason::UpToDate);
        EXPECT_EQ(on.RequestCount(kPackagePath), 1 + c.packageAskedAgain);
        EXPECT_EQ(on.RequestCount(kStatementPath), c.statementRequests);
        EXPECT_EQ(Record(), c.record);
    }
    InetSession::SetTrustedCertificates("");
}

TEST_F(SignedRun, AStatementThatDoesNotCountEndsTheRunBeforeTheDownload) {
    std::string crlf = PackageStatement(key, package, 3);
    crlf.insert(crlf.find('\n'), "\r");
    const std::string older = MakeCabinet("Quorvel 1.5");
    const struct {
        const char* what;
        std::optional<std::string> statement;
        std::string key;
        TUpdateReason reason;
        const char* message;
    } cases[] = {
        {"an older release than the recorded one, dated newer", PackageStatement(key, older, 4), Key(),
         TUpdateReason::UpToDate, UpdateTexts::kUpToDate},
        {"expired", PackageStatement(key, package, 6, "Quorvel", UtcTime::Now() - 1), Key(),
         TUpdateReason::Refused, UpdateTexts::kError},
        {"for another product", PackageStatement(key, package, 6, "Quorvel Pro"), Key(),
         TUpdateReason::Refused, UpdateTexts::kError},
        {"signed by an unknown key", PackageStatement(NewSigningKey(), package, 6), Key(),
         TUpdateReason::Refused, UpdateTexts::kError},
        {"checked with a key that is no key", PackageStatement(key, package, 6), "not a key",
         TUpdateReason::Refused, UpdateTexts::kError},
        {"missing", std::nullopt, Key(), TUpdateReason::Refused, UpdateTexts::kError},
        {"malformed", crlf, Key(), TUpdateReason::Refused, UpdateTexts::kError},
        {"too long to be one", std::string(5000, 'A'), Key(), TUpdateReason::Refused, UpdateTexts::kError},
    };
    WriteFile(folder / kRecord, "5\n");
    const auto before = TakeSnapshot(folder.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer on;
        Serve(on, package, c.statement, Dated(kServerTime + 365 * 86400));
        const TUpdateOutcome outcome = Run(on, c.key);
        EXPECT_EQ(outcome.reason, c.reason);
        EXPECT_EQ(outcome.message.toStdString(), c.message);
        EXPECT_EQ(on.RequestCount(kPackagePath), 0);
        EXPECT_EQ(TakeSnapshot(folder.Path()), before);
    }
}

TEST_F(SignedRun, APackageThatIsNotTheStatedOneIsRefusedAndLeavesNothing) {
    std::string changed = package;
    changed[changed.size() / 2] ^= 0x01;
    HttpReply unannounced = Dated();
    unannounced.contentLength = false;
    // A record planted by an unsigned package would be believed by a signed
    // updater later: no package may carry it, with or without a key.
    MakeCabinetFile(work / "planted.cab", work / "planted",
                    {{"version.txt", "Quorvel 6.6.6"}, {kRecord, "18446744073709551615\n"}});
    const std::string planted = ReadFile(work / "planted.cab");
    const struct {
        const char* what;
        std::string served;
        HttpReply reply;
        std::optional<std::string> statement;
        TUpdateReason reason;
    } cases[] = {
        {"one byte changed", changed, Dated(), PackageStatement(key, package, 3),
         TUpdateReason::DownloadFailed},
        {"shorter", package.substr(0, package.size() - 100), Dated(), PackageStatement(key, package, 3),
         TUpdateReason::DownloadFailed},
        {"longer, announced", package + std::string(1000, 'x'), Dated(), PackageStatement(key, package, 3),
         TUpdateReason::DownloadFailed},
        {"longer, not announced: cut where the stated size ends", package + std::string(300000, 'x'),
         unannounced, PackageStatement(key, package, 3), TUpdateReason::DownloadFailed},
        {"carrying a release record, signed", planted, Dated(), PackageStatement(key, planted, 3),
         TUpdateReason::InstallFailed},
        {"carrying a release record, without a key", planted, Dated(), std::nullopt,
         TUpdateReason::InstallFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer on;
        Serve(on, c.served, c.statement, c.reply);
        const TUpdateOutcome outcome = Run(on, c.statement ? Key() : "");
        EXPECT_EQ(outcome.reason, c.reason);
        EXPECT_EQ(outcome.message.toStdString(), UpdateTexts::kError);
        EXPECT_EQ(on.RequestCount(kPackagePath), 1);
        EXPECT_EQ(Names(), std::vector<std::string>{"version.txt"});
        EXPECT_EQ(Version(), "Quorvel 1.0");
    }
}

// The rules one step at a time, as a window drives them: the package is
// downloaded and checked now, installed later.
TEST_F(SignedRun, APackageChangedOnDiskAfterItsDownloadIsNotInstalled) {
    Serve(server, package, PackageStatement(key, package, 3));
    TUpdate update(Settings(server, Key()));
    TWebCopy engine;
    engine.ShowDialog = false;
    update.PrepareRun(engine);
    std::promise<void> ended;
    bool accepted = false;
    engine.OnFileStart = [&](TWebCopy* sender, int) {
        if (update.CheckStatement(*sender) != TReleaseCheck::TOutcome::Newer)
            sender->CancelTransfers();
    };
    engine.OnDataBlock = [&](TWebCopy*, int, const char* data, std::size_t length) {
        update.Arrived(data, length);
    };
    engine.OnVerifyFile = [&](TWebCopy*, int, int fd, const QString& tempPath, bool& accept) {
        accept = accepted = update.AcceptDownload(fd, tempPath);
    };
    engine.OnCopyDone = [&](TWebCopy*) { ended.set_value(); };
    engine.StartTransfers();
    ended.get_future().wait();
    ASSERT_TRUE(accepted);

    // A well-formed cabinet, put in place of the checked one.
    WriteFile(folder / "DirevidUreziv.cab", MakeCabinet("Quorvel 6.6.6"));
    EXPECT_FALSE(update.Install());
    EXPECT_EQ(Names(), std::vector<std::string>{"version.txt"});
    EXPECT_EQ(Version(), "Quorvel 1.0");
}

TEST_F(SignedRun, ACancelWhileTheStatementIsAskedForEndsTheRunWithNothingFetched) {
    TUpdate update(Settings(server, Key()));
    std::promise<void> runEnded;
    const std::shared_future<void> released = runEnded.get_future().share();
    server.ServeBytes(kPackagePath, package, Dated());
    server.ServeWith(kStatementPath, [&, released](const httplib::Request&, httplib::Response& res) {
        update.Cancel();
        // The statement never comes while the run lasts.
        res.set_content_provider(100, "text/plain", [released](std::size_t, std::size_t, httplib::DataSink&) {
            released.wait();
            return false;
        });
    });
    TWebCopy engine;
    const TUpdateOutcome outcome = update.Run(engine);
    runEnded.set_value();
    EXPECT_EQ(outcome.reason, TUpdateReason::Cancelled);
    EXPECT_EQ(outcome.message.toStdString(), "");
    EXPECT_EQ(server.RequestCount(kPackagePath), 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"version.txt"});
}

// A server whose certificate does not verify (the test's own authority,
// trusted by nobody here) is refused before any request reaches it.
TEST_F(SignedRun, AnUntrustedHttpsServerFailsBeforeAnyRequest) {
    const TestCertificates certs(work.Path());
    LocalHttpServer tls(certs.serverCert, certs.serverKey);
    Serve(tls, package, PackageStatement(key, package, 3));
    for (const std::string& keyText : {std::string(), Key()}) {
        SCOPED_TRACE(keyText);
        const TUpdateOutcome outcome = Run(tls, keyText);
        EXPECT_EQ(outcome.reason, keyText.empty() ? TUpdateReason::DownloadFailed : TUpdateReason::Refused);
        EXPECT_EQ(outcome.message.toStdString(), UpdateTexts::kError);
        EXPECT_EQ(Names(), std::vector<std::string>{"version.txt"});
        EXPECT_EQ(tls.RequestCount(kPackagePath) + tls.RequestCount(kStatementPath), 0);
    }
}

} // namespace
