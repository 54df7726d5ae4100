#include "InstallTestSupport.h"
#include "LocalHttpServer.h"
#include "TempDir.h"
#include "TestCertificates.h"

#include "DeltaMaker.h"
#include "InetSession.h"
#include "MessageBox.h"
#include "SignatureError.h"
#include "TReleaseStatement.h"
#include "TSigningKey.h"
#include "UtcTime.h"
#include "softwareupdate.h"

#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const char* const kError = "Error Updating the Quorvel! Please try again.";
const char* const kSuccess = "Quorvel has been successfully updated!";
const char* const kUpToDate = "There is not available update.\rYour version is current!";
const char* const kPackagePath = "/downloads/DirevidUreziv.cab";
const char* const kStatementPath = "/downloads/DirevidUreziv.cab.release";
const char* const kRecord = ".DirevidUreziv.release";
constexpr std::int64_t kServerTime = 1767225600;

HttpReply Dated(std::int64_t time = kServerTime) {
    HttpReply reply;
    reply.lastModified = time;
    return reply;
}

TSigningKey NewKey() {
    int error = 0;
    return std::move(TSigningKey::Generate(error).value());
}

// Updates with keys built in: the form is given the public keys that the
// build settings would embed.
class SignedUpdate : public testing::Test {
protected:
    void SetUp() override {
        m_previousBox = SetMessageBoxHandler([this](const QString&, const QString& text, TMessageKind) {
            messages.push_back(text.toStdString());
        });
        WriteFile(folder / "version.txt", "Quorvel 1.0");
        package = MakeCabinet("Quorvel 2.0");
    }
    void TearDown() override { SetMessageBoxHandler(m_previousBox); }

    // A cabinet (made with gcab) carrying version.txt and a larger file.
    std::string MakeCabinet(const std::string& version) {
        const fs::path source = work / "source";
        WriteFile(source / "version.txt", version);
        WriteFile(source / "quorvel.dat", std::string(90000, 'q'));
        const std::string command = "cd '" + source.string() + "' && gcab -c -z '" +
                                    (work / "pkg.cab").string() + "' version.txt quorvel.dat >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return ReadFile(work / "pkg.cab");
    }
    // The text of a statement on bytes, as quorvel-sign makes it.
    static std::string Statement(const TSigningKey& signer, const std::string& bytes, std::uint64_t release,
                                 const std::string& product = "Quorvel",
                                 std::int64_t expires = UtcTime::Now() + 86400) {
        TReleaseStatement::TFacts facts;
        facts.product = product;
        facts.package = "DirevidUreziv.cab";
        facts.release = release;
        facts.size = bytes.size();
        TSha512 sha;
        sha.Update(bytes.data(), bytes.size());
        sha.Final(facts.sha512);
        facts.expires = expires;
        int error = 0;
        const auto statement = TReleaseStatement::Make(facts, signer, error);
        EXPECT_TRUE(statement) << SignatureError::Text(error);
        return statement ? statement->Text() : std::string();
    }
    static void Serve(LocalHttpServer& on, const std::string& bytes,
                      const std::optional<std::string>& statement, const HttpReply& reply = Dated()) {
        on.ServeBytes(kPackagePath, bytes, reply);
        if (statement)
            on.ServeBytes(kStatementPath, *statement);
        else
            on.ServeStatus(kStatementPath, 404);
    }
    std::unique_ptr<TForm1> MakeForm(LocalHttpServer& on, const std::string& keyBase64,
                                     const std::string& nextKeyBase64 = "") {
        auto form = std::make_unique<TForm1>(QString::fromStdString(folder.Slash()),
                                             QString::fromStdString(on.Url(kPackagePath)));
        form->SetUpdateKey(QString::fromStdString(keyBase64), QString::fromStdString(nextKeyBase64));
        return form;
    }
    // "Start", and, when the up-to-date text shows, "Cancel" to end the wait
    // as a user does.
    static void Start(TForm1& form) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (form.InstructionText() == kUpToDate && !form.cancelRequested)
                form.BitBtn2Click();
        });
        poll.start(5);
        form.BitBtn1Click();
    }
    // One whole update of a release: Start, then Close.
    void Update(LocalHttpServer& on, const std::string& keyBase64 = "") {
        auto form = MakeForm(on, keyBase64.empty() ? key.PublicKey().Base64() : keyBase64);
        Start(*form);
        form->close();
    }
    std::string Version() const { return ReadFile(folder / "version.txt"); }
    std::string Record() const { return fs::exists(folder / kRecord) ? ReadFile(folder / kRecord) : "none"; }
    // The update folder's names: nothing but the product's files and ours.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            if (entry.path().filename() != kLockName)
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir work;
    TempDir folder;
    LocalHttpServer server;
    TSigningKey key = NewKey();
    std::string package;
    std::vector<std::string> messages;

private:
    MessageBoxHandler m_previousBox;
};

TEST_F(SignedUpdate, GoodStatementInstallsAndRecordsItsReleaseAndTheNextStartIsUpToDate) {
    Serve(server, package, Statement(key, package, 3));
    Update(server);
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    EXPECT_EQ(Version(), "Quorvel 2.0");
    EXPECT_EQ(Record(), "3\n");
    EXPECT_EQ(Names(),
              (std::vector<std::string>{kRecord, "DirevidUreziv.cab", "quorvel.dat", "version.txt"}));

    // The same statement again: nothing newer, nothing fetched but it.
    messages.clear();
    auto form = MakeForm(server, key.PublicKey().Base64());
    Start(*form);
    EXPECT_EQ(form->InstructionText(), kUpToDate);
    EXPECT_TRUE(messages.empty());
    form->close();
    EXPECT_EQ(server.RequestCount(kPackagePath), 1);
    EXPECT_EQ(server.RequestCount(kStatementPath), 2);
    EXPECT_EQ(Record(), "3\n");
}

TEST_F(SignedUpdate, OlderReleaseWithANewerDateIsNotInstalled) {
    Serve(server, package, Statement(key, package, 5));
    Update(server);
    ASSERT_EQ(Record(), "5\n");

    const std::string older = MakeCabinet("Quorvel 1.5");
    LocalHttpServer replay;
    Serve(replay, older, Statement(key, older, 4), Dated(kServerTime + 365 * 86400));
    messages.clear();
    auto form = MakeForm(replay, key.PublicKey().Base64());
    Start(*form);
    EXPECT_EQ(form->InstructionText(), kUpToDate);
    EXPECT_TRUE(messages.empty());
    form->close();
    EXPECT_EQ(replay.RequestCount(kPackagePath), 0);
    EXPECT_EQ(Version(), "Quorvel 2.0");
    EXPECT_EQ(Record(), "5\n");
}

TEST_F(SignedUpdate, StatementsThatDoNotCountStopTheUpdateBeforeTheDownload) {
    std::string crlf = Statement(key, package, 3);
    crlf.insert(crlf.find('\n'), "\r");
    const struct {
        const char* what;
        std::optional<std::string> statement;
    } cases[] = {
        {"expired", Statement(key, package, 3, "Quorvel", UtcTime::Now() - 1)},
        {"for another product", Statement(key, package, 3, "Quorvel Pro")},
        {"signed by an unknown key", Statement(NewKey(), package, 3)},
        {"missing", std::nullopt},
        {"malformed", crlf},
        {"too long to be one", std::string(5000, 'A')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer caseServer;
        Serve(caseServer, package, c.statement);
        messages.clear();
        auto form = MakeForm(caseServer, key.PublicKey().Base64());
        Start(*form);
        EXPECT_EQ(messages, std::vector<std::string>{kError});
        EXPECT_EQ(caseServer.RequestCount(kPackagePath), 0);
        // "Start" is offered again, as after any failed update.
        EXPECT_TRUE(form->BitBtn1->isVisibleTo(form.get()) && form->BitBtn1->isEnabled());
        form->close();
        EXPECT_EQ(Names(), std::vector<std::string>{"version.txt"});
        EXPECT_EQ(Version(), "Quorvel 1.0");
    }
}

TEST_F(SignedUpdate, PackageThatIsNotTheStatedOneIsRefusedAndLeavesNothing) {
    std::string changed = package;
    changed[changed.size() / 2] ^= 0x01;
    HttpReply unannounced = Dated();
    unannounced.contentLength = false;
    const struct {
        const char* what;
        std::string served;
        HttpReply reply;
    } cases[] = {
        {"one byte changed", changed, Dated()},
        {"shorter", package.substr(0, package.size() - 100), Dated()},
        {"longer, announced", package + std::string(1000, 'x'), Dated()},
        {"longer, not announced: cut where the stated size ends", package + std::string(300000, 'x'),
         unannounced},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer caseServer;
        Serve(caseServer, c.served, Statement(key, package, 3), c.reply);
        messages.clear();
        auto form = MakeForm(caseServer, key.PublicKey().Base64());
        Start(*form);
        EXPECT_EQ(messages, std::vector<std::string>{kError});
        EXPECT_EQ(caseServer.RequestCount(kPackagePath), 1);
        form->close();
        EXPECT_EQ(Names(), std::vector<std::string>{"version.txt"});
        EXPECT_EQ(Version(), "Quorvel 1.0");
    }
}

TEST_F(SignedUpdate, StatementOfTheNextKeyInstalls) {
    const TSigningKey next = NewKey();
    Serve(server, package, Statement(next, package, 2));
    auto form = MakeForm(server, key.PublicKey().Base64(), next.PublicKey().Base64());
    Start(*form);
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    form->close();
    EXPECT_EQ(Version(), "Quorvel 2.0");
    EXPECT_EQ(Record(), "2\n");
}

TEST_F(SignedUpdate, AKillAtAnyPointOfTheCloseLeavesTheRecordNamingTheInstalledFiles) {
    Serve(server, package, Statement(key, package, 3));
    auto form = MakeForm(server, key.PublicKey().Base64());
    Start(*form);
    ASSERT_EQ(messages, std::vector<std::string>{kSuccess});
    int killed = 0;
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        ASSERT_LT(n, 500);
        // Release 2 installed, release 3 downloaded.
        WriteFile(folder / "version.txt", "Quorvel 1.0");
        fs::remove(folder / "quorvel.dat");
        WriteFile(folder / kRecord, "2\n");
        WriteFile(folder / "DirevidUreziv.cab", package);
        FaultyOps ops;
        ops.killAfterCall = n;
        const int status = RunInChild([&] {
            form->InstallOps = &ops;
            form->FormClose();
            return 0;
        });
        if (WIFEXITED(status)) {
            // Fewer calls than n: the install ran to its end.
            EXPECT_EQ(Version(), "Quorvel 2.0");
            EXPECT_EQ(Record(), "3\n");
            break;
        }
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        ++killed;
        MakeForm(server, key.PublicKey().Base64()).reset(); // the next start
        const bool installed = Version() == "Quorvel 2.0";
        EXPECT_EQ(fs::exists(folder / "quorvel.dat"), installed);
        EXPECT_EQ(Record(), installed ? "3\n" : "2\n");
        EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
    }
    EXPECT_GT(killed, 20);
}

TEST_F(SignedUpdate, PackageSwappedOnDiskBeforeCloseIsRefused) {
    Serve(server, package, Statement(key, package, 3));
    auto form = MakeForm(server, key.PublicKey().Base64());
    Start(*form);
    ASSERT_EQ(messages, std::vector<std::string>{kSuccess});
    // A well-formed cabinet, put in place of the checked one.
    WriteFile(folder / "DirevidUreziv.cab", MakeCabinet("Quorvel 6.6.6"));
    form->close();
    EXPECT_EQ(messages, (std::vector<std::string>{kSuccess, kError}));
    EXPECT_EQ(Names(), std::vector<std::string>{"version.txt"});
    EXPECT_EQ(Version(), "Quorvel 1.0");
}

TEST_F(SignedUpdate, CancelWhileTheStatementIsFetchedInstallsNothing) {
    server.ServeBytes(kPackagePath, package, Dated());
    server.ServeStall(kStatementPath, 400, "quorvel-release 1\n");
    auto form = MakeForm(server, key.PublicKey().Base64());
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (server.RequestCount(kStatementPath) > 0 && form->BitBtn2->isVisibleTo(form.get())) {
            poll.stop();
            form->BitBtn2Click();
        }
    });
    poll.start(5);
    form->BitBtn1Click();
    EXPECT_TRUE(form->cancelRequested);
    form->close();
    form.reset(); // waits for the run to end
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(server.RequestCount(kPackagePath), 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"version.txt"});
}

TEST_F(SignedUpdate, AKeyThatIsNoKeyRefusesEveryPackage) {
    Serve(server, package, Statement(key, package, 3));
    Update(server, "not a key");
    EXPECT_EQ(messages, std::vector<std::string>{kError});
    EXPECT_EQ(Version(), "Quorvel 1.0");
}

TEST_F(SignedUpdate, WithoutAKeyNoStatementIsFetchedNorReleaseRecorded) {
    Serve(server, package, std::nullopt);
    auto form = MakeForm(server, "");
    Start(*form);
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    form->close();
    EXPECT_EQ(server.RequestCount(kStatementPath), 0);
    EXPECT_EQ(Version(), "Quorvel 2.0");
    EXPECT_EQ(Record(), "none");
}

// A record planted by an unsigned package would be believed by a signed
// updater later: no package may carry it, with or without a key.
TEST_F(SignedUpdate, WithoutAKeyAPackageCarryingAReleaseRecordIsRefused) {
    WriteFile(work / "source" / kRecord, "release 18446744073709551615\n");
    const std::string command = "cd '" + (work / "source").string() + "' && gcab -c -z '" +
                                (work / "planted.cab").string() + "' version.txt '" + kRecord +
                                "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    Serve(server, ReadFile(work / "planted.cab"), std::nullopt);
    auto form = MakeForm(server, "");
    Start(*form);
    form->close();
    EXPECT_EQ(messages, (std::vector<std::string>{kSuccess, kError}));
    EXPECT_EQ(Version(), "Quorvel 1.0");
    EXPECT_EQ(Record(), "none");
}

// A server whose certificate does not verify (here: one the test made for
// itself, trusted by nobody) is refused before any byte of the body arrives.
TEST_F(SignedUpdate, UntrustedHttpsServerFailsBeforeAnyFileIsWritten) {
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext "
        "subjectAltName=IP:127.0.0.1 -keyout '" +
        (work / "key.pem").string() + "' -out '" + (work / "cert.pem").string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "openssl is needed for this test";
    LocalHttpServer tls(work / "cert.pem", work / "key.pem");
    Serve(tls, package, Statement(key, package, 3));
    for (const std::string& keyText : {std::string(), key.PublicKey().Base64()}) {
        messages.clear();
        auto form = MakeForm(tls, keyText);
        Start(*form);
        form->close();
        EXPECT_EQ(messages, std::vector<std::string>{kError});
        EXPECT_EQ(Names(), std::vector<std::string>{"version.txt"});
        EXPECT_EQ(tls.RequestCount(kPackagePath) + tls.RequestCount(kStatementPath), 0)
            << "no request got past the handshake";
    }
}

// A server whose certificate verifies (the test's own authority, trusted for
// the test) serves both the package and its statement.
TEST_F(SignedUpdate, SignedPackageOverVerifiedHttpsInstalls) {
    const TestCertificates certs(work.Path());
    InetSession::SetTrustedCertificates(certs.authority.string());
    LocalHttpServer tls(certs.serverCert, certs.serverKey);
    Serve(tls, package, Statement(key, package, 3));
    Update(tls);
    InetSession::SetTrustedCertificates("");
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    EXPECT_EQ(Version(), "Quorvel 2.0");
    EXPECT_EQ(Record(), "3\n");
}

} // namespace

namespace {

// A statement on a delta from release `base`, named as quorvel-sign names it.
std::string DeltaStatement(const TSigningKey& signer, const std::string& bytes, std::uint64_t release,
                           std::uint64_t base) {
    TReleaseStatement::TFacts facts;
    facts.product = "Quorvel";
    facts.package = "DirevidUreziv.cab.from-" + std::to_string(base);
    facts.release = release;
    facts.base = base;
    facts.size = bytes.size();
    TSha512 sha;
    sha.Update(bytes.data(), bytes.size());
    sha.Final(facts.sha512);
    facts.expires = UtcTime::Now() + 86400;
    int error = 0;
    const auto statement = TReleaseStatement::Make(facts, signer, error);
    EXPECT_TRUE(statement) << SignatureError::Text(error);
    return statement ? statement->Text() : std::string();
}

} // namespace

TEST_F(SignedUpdate, ADeltaInstallsAsThePackageDoesAndOneThatFailsGivesWayToThePackage) {
    const std::string oldPackage = MakeCabinet("Quorvel 1.0");
    WriteFile(work / "old.cab", oldPackage);
    WriteFile(work / "new.cab", package);
    ASSERT_TRUE(
        DeltaMaker::Make((work / "old.cab").string(), (work / "new.cab").string(), (work / "delta").string())
            .ok);
    const std::string delta = ReadFile(work / "delta");
    std::string damaged = delta;
    damaged[damaged.size() / 2] ^= 0x20;
    const char* const deltaPath = "/downloads/DirevidUreziv.cab.from-1";
    for (const bool good : {false, true}) {
        SCOPED_TRACE(good ? "the delta" : "a damaged delta");
        fs::remove_all(folder.Path());
        fs::create_directories(folder.Path());
        WriteFile(folder / "version.txt", "Quorvel 1.0");
        WriteFile(folder / "quorvel.dat", std::string(90000, 'q'));
        WriteFile(folder / kRecord, "1\n");
        messages.clear();
        LocalHttpServer on;
        Serve(on, package, Statement(key, package, 2));
        on.ServeBytes(deltaPath, good ? delta : damaged);
        on.ServeBytes(std::string(deltaPath) + ".release", DeltaStatement(key, delta, 2, 1));
        Update(on);
        EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
        EXPECT_EQ(Version(), "Quorvel 2.0");
        EXPECT_EQ(Record(), "2\n");
        EXPECT_EQ(on.RequestCount(kPackagePath), good ? 0 : 1);
        std::vector<std::string> names = {kRecord, "quorvel.dat", "version.txt"};
        if (!good)
            names.insert(names.begin() + 1, "DirevidUreziv.cab");
        EXPECT_EQ(Names(), names);
    }
}
