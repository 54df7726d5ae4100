#include "InstallTestSupport.h"
#include "LocalHttpServer.h"
#include "TempDir.h"

#include "MessageBox.h"
#include "SignatureError.h"
#include "TReleaseStatement.h"
#include "TSigningKey.h"
#include "UtcTime.h"
#include "softwareupdate.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const char* const kSuccess = "Quorvel has been successfully updated!";
const char* const kUpToDate = "There is not available update.\rYour version is current!";
const char* const kPackagePath = "/downloads/DirevidUreziv.cab";
const char* const kStatementPath = "/downloads/DirevidUreziv.cab.release";
const char* const kRecord = ".DirevidUreziv.release";

TSigningKey NewKey() {
    int error = 0;
    return std::move(TSigningKey::Generate(error).value());
}

// The statement's rules are tested without a window (tests/update); here the
// window with a key built in runs one signed update end to end.
class SignedUpdate : public testing::Test {
protected:
    void SetUp() override {
        m_previousBox = SetMessageBoxHandler([this](const QString&, const QString& text, TMessageKind) {
            messages.push_back(text.toStdString());
        });
        WriteFile(folder / "version.txt", "Quorvel 1.0");
        MakeCabinetFile(work / "pkg.cab", work / "source",
                        {{"version.txt", "Quorvel 2.0"}, {"quorvel.dat", std::string(90000, 'q')}});
        package = ReadFile(work / "pkg.cab");
    }
    void TearDown() override { SetMessageBoxHandler(m_previousBox); }

    std::string Statement(std::uint64_t release) const {
        TReleaseStatement::TFacts facts;
        facts.product = "Quorvel";
        facts.package = "DirevidUreziv.cab";
        facts.release = release;
        facts.size = package.size();
        TSha512 sha;
        sha.Update(package.data(), package.size());
        sha.Final(facts.sha512);
        facts.expires = UtcTime::Now() + 86400;
        int error = 0;
        const auto statement = TReleaseStatement::Make(facts, key, error);
        EXPECT_TRUE(statement) << SignatureError::Text(error);
        return statement ? statement->Text() : std::string();
    }
    std::unique_ptr<TForm1> MakeForm() {
        auto form = std::make_unique<TForm1>(QString::fromStdString(folder.Slash()),
                                             QString::fromStdString(server.Url(kPackagePath)));
        form->SetUpdateKey(QString::fromStdString(key.PublicKey().Base64()), QString());
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
    // The update folder's names, the lock file aside.
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
    server.ServeBytes(kPackagePath, package);
    server.ServeBytes(kStatementPath, Statement(3));
    {
        auto form = MakeForm();
        Start(*form);
        EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
        form->close();
    }
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 2.0");
    EXPECT_EQ(ReadFile(folder / kRecord), "3\n");
    EXPECT_EQ(Names(),
              (std::vector<std::string>{kRecord, "DirevidUreziv.cab", "quorvel.dat", "version.txt"}));

    // The same statement again: nothing newer, nothing fetched but it.
    messages.clear();
    auto form = MakeForm();
    Start(*form);
    EXPECT_EQ(form->InstructionText(), kUpToDate);
    EXPECT_TRUE(messages.empty());
    form->close();
    EXPECT_EQ(server.RequestCount(kPackagePath), 1);
    EXPECT_EQ(server.RequestCount(kStatementPath), 2);
    EXPECT_EQ(ReadFile(folder / kRecord), "3\n");
}

} // namespace
