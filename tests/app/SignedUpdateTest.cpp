#include "LocalHttpServer.h"
#include "TempDir.h"
#include "TestCertificates.h"

#include "InetSession.h"
#include "MessageBoxRecorder.h"
#include "SignatureError.h"
#include "TSigningKey.h"
#include "softwareupdate.h"

#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace fs = std::filesystem;

namespace {

const char* const kError = "Error Updating the Quorvel! Please try again.";
const char* const kSuccess = "Quorvel has been successfully updated!";
const char* const kPackagePath = "/downloads/DirevidUreziv.cab";
const char* const kSignaturePath = "/downloads/DirevidUreziv.cab.sig";

// Packages carry a date, as the date rule needs.
HttpReply Dated() {
    HttpReply reply;
    reply.lastModified = 1767225600;
    return reply;
}

TSigningKey NewKey() {
    int error = 0;
    return std::move(TSigningKey::Generate(error).value());
}

// Updates whose packages must be signed: the form is given the public key
// that a build setting would embed.
class SignedUpdate : public testing::Test {
protected:
    void SetUp() override {
        m_previousBox = RecordMessageBoxes(messages, boxes);
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
    std::string SignatureText(const TSigningKey& signer, const std::string& bytes) {
        WriteFile(work / "to-sign.cab", bytes);
        std::optional<TSignature> signature;
        EXPECT_EQ(signer.SignFile(work / "to-sign.cab", signature), SignatureError::kNone);
        return signature ? signature->Text() : std::string();
    }
    void Serve(const std::string& bytes, const std::optional<std::string>& signature) {
        server.ServeBytes(kPackagePath, bytes, Dated());
        if (signature)
            server.ServeBytes(kSignaturePath, *signature);
        else
            server.ServeStatus(kSignaturePath, 404);
    }
    std::unique_ptr<TForm1> MakeForm(const std::string& keyBase64) {
        auto form = std::make_unique<TForm1>(QString::fromStdString(folder.Slash()),
                                             QString::fromStdString(server.Url(kPackagePath)));
        form->SetUpdateKey(QString::fromStdString(keyBase64));
        return form;
    }
    bool Installed() const { return ReadFile(folder / "version.txt") != "Quorvel 1.0"; }
    bool PackageThere() const { return fs::exists(folder / "DirevidUreziv.cab"); }

    TempDir work;
    TempDir folder;
    LocalHttpServer server;
    TSigningKey key = NewKey();
    std::string package;
    std::vector<std::string> messages;
    TShownBoxes boxes;

private:
    MessageBoxHandler m_previousBox;
};

TEST_F(SignedUpdate, GoodSignatureInstalls) {
    Serve(package, SignatureText(key, package));
    auto form = MakeForm(key.PublicKey().Base64());
    form->BitBtn1Click();
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    EXPECT_EQ(server.RequestCount(kSignaturePath), 1);
    EXPECT_TRUE(form->HTMLButton1->isVisibleTo(form.get()));
    form->close();
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 2.0");
    EXPECT_TRUE(PackageThere());
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv_bu.cab"));
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
}

TEST_F(SignedUpdate, BadOrMissingSignaturesInstallNothing) {
    std::string changed = package;
    changed[changed.size() / 2] ^= 0x01; // the cabinet's own checksum would catch it, the signature first
    const std::string good = SignatureText(key, package);
    const struct {
        const char* what;
        std::string served;
        std::optional<std::string> signature;
    } cases[] = {
        {"package changed by one byte", changed, good},
        {"signature of another key", package, SignatureText(NewKey(), package)},
        {"truncated signature", package, good.substr(0, 60)},
        {"empty signature", package, std::string()},
        {"missing signature", package, std::nullopt},
        {"signature followed by more text", package, good + good},
        {"signature too long to be one", package, std::string(5000, 'A')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer caseServer;
        caseServer.ServeBytes(kPackagePath, c.served, Dated());
        if (c.signature)
            caseServer.ServeBytes(kSignaturePath, *c.signature);
        messages.clear();
        TForm1 form(QString::fromStdString(folder.Slash()),
                    QString::fromStdString(caseServer.Url(kPackagePath)));
        form.SetUpdateKey(QString::fromStdString(key.PublicKey().Base64()));
        form.BitBtn1Click();
        EXPECT_EQ(messages, std::vector<std::string>{kError});
        EXPECT_EQ(caseServer.RequestCount(kPackagePath), 1);
        EXPECT_EQ(caseServer.RequestCount(kSignaturePath), 1);
        EXPECT_TRUE(form.updateFailed);
        EXPECT_FALSE(PackageThere());
        // "Start" is offered again, as after any failed update.
        EXPECT_TRUE(form.BitBtn1->isVisibleTo(&form) && form.BitBtn1->isEnabled());
        form.close();
        EXPECT_FALSE(Installed());
        EXPECT_FALSE(fs::exists(folder / "DirevidUreziv_bu.cab"));
    }
}

TEST_F(SignedUpdate, PackageSwappedOnDiskBeforeCloseIsRefused) {
    Serve(package, SignatureText(key, package));
    auto form = MakeForm(key.PublicKey().Base64());
    form->BitBtn1Click();
    ASSERT_EQ(messages, std::vector<std::string>{kSuccess});
    // A well-formed cabinet, put in place of the checked one.
    WriteFile(folder / "DirevidUreziv.cab", MakeCabinet("Quorvel 6.6.6"));
    form->close();
    EXPECT_FALSE(Installed());
    EXPECT_EQ(messages, (std::vector<std::string>{kSuccess, kError}));
    EXPECT_FALSE(PackageThere());
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv_bu.cab"));
}

TEST_F(SignedUpdate, CancelWhileTheSignatureIsFetchedInstallsNothing) {
    server.ServeBytes(kPackagePath, package, Dated());
    server.ServeStall(kSignaturePath, 89, "c0Uzo9hM9Hnf");
    auto form = MakeForm(key.PublicKey().Base64());
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (server.RequestCount(kSignaturePath) > 0 && form->BitBtn2->isVisibleTo(form.get())) {
            poll.stop();
            form->BitBtn2Click();
        }
    });
    poll.start(5);
    form->BitBtn1Click();
    EXPECT_TRUE(form->cancelRequested);
    EXPECT_TRUE(messages.empty() || messages == std::vector<std::string>{kError});
    form->close();
    form.reset(); // waits for the run to end
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(PackageThere());
    EXPECT_TRUE(messages.empty() || messages == std::vector<std::string>{kError});
}

TEST_F(SignedUpdate, AKeyThatIsNoKeyRefusesEveryPackage) {
    Serve(package, SignatureText(key, package));
    auto form = MakeForm("not a key");
    form->BitBtn1Click();
    EXPECT_EQ(messages, std::vector<std::string>{kError});
    form->close();
    EXPECT_FALSE(Installed());
}

TEST_F(SignedUpdate, WithoutAKeyNoSignatureIsFetched) {
    Serve(package, std::nullopt);
    auto form = MakeForm("");
    form->BitBtn1Click();
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    EXPECT_EQ(server.RequestCount(kSignaturePath), 0);
    form->close();
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 2.0");
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
    tls.ServeBytes(kPackagePath, package, Dated());
    tls.ServeBytes(kSignaturePath, SignatureText(key, package));
    for (const std::string& keyText : {std::string(), key.PublicKey().Base64()}) {
        messages.clear();
        TForm1 form(QString::fromStdString(folder.Slash()), QString::fromStdString(tls.Url(kPackagePath)));
        form.SetUpdateKey(QString::fromStdString(keyText));
        form.BitBtn1Click();
        EXPECT_EQ(messages, std::vector<std::string>{kError});
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1)
            << "only version.txt";
        EXPECT_EQ(tls.RequestCount(kPackagePath), 0) << "no request got past the handshake";
        form.close();
        EXPECT_FALSE(Installed());
    }
}

// A server whose certificate verifies (the test's own authority, trusted for
// the test) serves both the package and its signature.
TEST_F(SignedUpdate, SignedPackageOverVerifiedHttpsInstalls) {
    const TestCertificates certs(work.Path());
    InetSession::SetTrustedCertificates(certs.authority.string());
    LocalHttpServer tls(certs.serverCert, certs.serverKey);
    tls.ServeBytes(kPackagePath, package, Dated());
    tls.ServeBytes(kSignaturePath, SignatureText(key, package));
    TForm1 form(QString::fromStdString(folder.Slash()), QString::fromStdString(tls.Url(kPackagePath)));
    form.SetUpdateKey(QString::fromStdString(key.PublicKey().Base64()));
    form.BitBtn1Click();
    InetSession::SetTrustedCertificates("");
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    EXPECT_EQ(tls.RequestCount(kSignaturePath), 1);
    form.close();
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 2.0");
}

} // namespace
