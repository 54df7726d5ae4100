#include "InstallTestSupport.h"
#include "LocalHttpServer.h"
#include "TempDir.h"
#include "UpdateTestSupport.h"

#include "DeltaMaker.h"
#include "MessageBox.h"
#include "ProgressFormat.h"
#include "TLabel.h"
#include "TSigningKey.h"
#include "XiProgressBar.h"
#include "softwareupdate.h"

#include <QTimer>

#include <gtest/gtest.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const char* const kSuccess = "Quorvel has been successfully updated!";
const char* const kUpToDate = "There is not available update.\rYour version is current!";
const char* const kPackagePath = "/downloads/DirevidUreziv.cab";
const char* const kStatementPath = "/downloads/DirevidUreziv.cab.release";
const char* const kRecord = ".DirevidUreziv.release";

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

    std::string Statement(std::uint64_t release) const { return PackageStatement(key, package, release); }
    std::unique_ptr<TForm1> MakeForm() { return MakeForm(server); }
    std::unique_ptr<TForm1> MakeForm(LocalHttpServer& on) {
        auto form = std::make_unique<TForm1>(QString::fromStdString(folder.Slash()),
                                             QString::fromStdString(on.Url(kPackagePath)));
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
    TSigningKey key = NewSigningKey();
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

// The window's bar and byte count follow a delta as they follow the package;
// a delta that fails gives way to the package in the same run.
TEST_F(SignedUpdate, ADeltaInstallsAsThePackageDoesAndOneThatFailsGivesWayToThePackage) {
    MakeCabinetFile(work / "old.cab", work / "old",
                    {{"version.txt", "Quorvel 1.0"}, {"quorvel.dat", std::string(90000, 'q')}});
    ASSERT_TRUE(
        DeltaMaker::Make((work / "old.cab").string(), (work / "pkg.cab").string(), (work / "delta").string())
            .ok);
    const std::string delta = ReadFile(work / "delta");
    std::string damaged = delta;
    damaged[damaged.size() / 2] ^= 0x20;
    const std::string deltaName = "DirevidUreziv.cab.from-1";
    const std::string deltaPath = "/downloads/" + deltaName;
    for (const bool good : {false, true}) {
        SCOPED_TRACE(good ? "the delta" : "a damaged delta");
        fs::remove_all(folder.Path());
        fs::create_directories(folder.Path());
        WriteFile(folder / "version.txt", "Quorvel 1.0");
        WriteFile(folder / "quorvel.dat", std::string(90000, 'q'));
        WriteFile(folder / kRecord, "1\n");
        messages.clear();
        LocalHttpServer on;
        on.ServeBytes(kPackagePath, package);
        on.ServeBytes(kStatementPath, Statement(2));
        on.ServeBytes(deltaPath, good ? delta : damaged);
        on.ServeBytes(deltaPath + ".release", SignedStatement(key, delta, deltaName, 2, 1));
        auto form = MakeForm(on);
        Start(*form);
        EXPECT_EQ(form->XiProgressBar2->Position(), form->XiProgressBar2->Max());
        const std::uint64_t moved = good ? delta.size() : package.size();
        EXPECT_EQ(form->Label4->Caption().toStdString(),
                  ("Progress : " + FormatSize(moved) + " of " + FormatSize(moved)).toStdString());
        form->close();
        EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
        EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 2.0");
        EXPECT_EQ(ReadFile(folder / kRecord), "2\n");
        EXPECT_EQ(on.RequestCount(kPackagePath), good ? 0 : 1);
        std::vector<std::string> names = {kRecord, "quorvel.dat", "version.txt"};
        if (!good)
            names.insert(names.begin() + 1, "DirevidUreziv.cab");
        EXPECT_EQ(Names(), names);
    }
}

} // namespace
