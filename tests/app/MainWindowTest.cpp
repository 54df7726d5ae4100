#include "LocalHttpServer.h"
#include "TempDir.h"

#include "MessageBoxRecorder.h"
#include "TCABFile.h"
#include "THTMLPicture.h"
#include "TImage.h"
#include "TPanel.h"
#include "WebCopy.h"
#include "WindowPlacement.h"
#include "softwareupdate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

#include <chrono>
#include <thread>

using namespace quorvel;

namespace {

const std::int64_t kServerTime = 1767225600;

QRect Geometry(const TForm1& form, const char* name) {
    const QWidget* w = form.findChild<QWidget*>(QString::fromLatin1(name));
    return w ? QRect(w->mapTo(&form, QPoint(0, 0)), w->size()) : QRect();
}

QString ScreenshotFolder() {
    const QByteArray given = qgetenv("QUORVEL_SCREENSHOTS");
    const QString folder = given.isEmpty()
                               ? QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots")
                               : QString::fromLocal8Bit(given);
    QDir().mkpath(folder);
    return folder;
}

void SaveScreenshot(TForm1& form, const char* state) {
    const QImage shot = form.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(471, 319) * shot.devicePixelRatio());
    const QString path =
        ScreenshotFolder() + QStringLiteral("/main-window-%1.png").arg(QString::fromLatin1(state));
    EXPECT_TRUE(shot.save(path)) << path.toStdString();
}

class MainWindow : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        m_previousBox = RecordMessageBoxes(messages, boxes);
    }
    void TearDown() override { SetMessageBoxHandler(m_previousBox); }

    std::unique_ptr<TForm1> MakeForm(const std::string& path) {
        auto form = std::make_unique<TForm1>(QString::fromStdString(folder.Slash()),
                                             QString::fromStdString(server.Url(path)));
        form->show();
        return form;
    }
    void Start(TForm1& form, std::function<void()> during = {}) {
        QTimer poll;
        if (during) {
            QObject::connect(&poll, &QTimer::timeout, during);
            poll.start(5);
        }
        form.BitBtn1Click();
    }

    TempDir folder;
    LocalHttpServer server;
    std::vector<std::string> messages;
    TShownBoxes boxes;

private:
    MessageBoxHandler m_previousBox;
};

TEST_F(MainWindow, StoredDescriptionPlacesEveryControl) {
    TForm1 form;
    EXPECT_TRUE(form.DescriptionReport().Clean())
        << form.DescriptionReport().Skipped.join('\n').toStdString();
    form.show();
    EXPECT_EQ(form.size(), QSize(471, 319));
    EXPECT_EQ(form.minimumSize(), QSize(471, 319));
    EXPECT_EQ(form.maximumSize(), QSize(471, 319));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(form.windowTitle(), "Quorvel Software Update");
    // The whole frame, not the client area, is centred (once a window
    // manager, if any, has framed and moved it).
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const auto centred = [&] {
        return form.frameGeometry().topLeft() ==
               WindowPlacement::CentredFrameTopLeft(available, form.frameGeometry().size());
    };
    QElapsedTimer waited;
    waited.start();
    do
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    while (!centred() && waited.elapsed() < 5000);
    EXPECT_TRUE(centred()) << form.frameGeometry().x() << "," << form.frameGeometry().y();

    EXPECT_EQ(Geometry(form, "Image3"), QRect(121, 60, 350, 259));
    EXPECT_EQ(Geometry(form, "XiProgressBar2"), QRect(136, 198, 313, 16));
    EXPECT_EQ(Geometry(form, "Label2"), QRect(156, 88, 261, 48));
    EXPECT_EQ(Geometry(form, "Image1"), QRect(0, 60, 121, 259));
    EXPECT_EQ(Geometry(form, "Panel1"), QRect(0, 0, 471, 60));
    EXPECT_EQ(Geometry(form, "Image2"), QRect(1, 1, 469, 57));
    EXPECT_EQ(Geometry(form, "BitBtn1"), QRect(189, 277, 81, 22));
    EXPECT_EQ(Geometry(form, "BitBtn2"), QRect(309, 277, 81, 22));
    EXPECT_EQ(Geometry(form, "HTMLButton1"), QRect(248, 277, 81, 22));
    EXPECT_EQ(Geometry(form, "Label4").topLeft(), QPoint(136, 224));
    EXPECT_EQ(Geometry(form, "Label5").topLeft(), QPoint(136, 244));
    // Sized to their texts, which the first texts fit on one line.
    const QFontMetrics metrics(form.Label4->font());
    for (const TLabel* label : {form.Label4, form.Label5}) {
        const int advance = metrics.horizontalAdvance(label->Caption());
        EXPECT_GE(label->width(), advance) << label->Caption().toStdString();
        EXPECT_LE(label->width(), advance + 3) << label->Caption().toStdString();
        EXPECT_EQ(label->height(), metrics.height());
    }

    EXPECT_TRUE(form.BitBtn1->isVisible());
    EXPECT_TRUE(form.BitBtn2->isVisible());
    EXPECT_FALSE(form.HTMLButton1->isVisible());
    EXPECT_EQ(form.BitBtn1->nextInFocusChain(), form.BitBtn2);

    // Fonts and colours.
    EXPECT_EQ(form.font().family(), "MS Sans Serif");
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(form.Label2->font().pixelSize(), 13);
    EXPECT_EQ(form.Label4->palette().color(QPalette::WindowText), QColor(0x00, 0x40, 0x80));
    EXPECT_EQ(form.Label5->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(form.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(form.XiProgressBar2->ColorScheme(), csSky);
    EXPECT_EQ(form.XiProgressBar2->ColorBorder(), RGBColor(0x00, 0x59, 0xB3));
    EXPECT_EQ(form.XiProgressBar2->ForeColorGrad(), RGBColor(0x5E, 0xAE, 0xFF));
    EXPECT_EQ(form.XiProgressBar2->Max(), 100);
    EXPECT_EQ(form.XiProgressBar2->Step(), 1);
    for (const THTMLButton* b : {form.BitBtn1, form.BitBtn2, form.HTMLButton1}) {
        EXPECT_EQ(b->Color(), RGBColor(0xEA, 0xEA, 0xFF));
        EXPECT_EQ(b->HoverColor(), RGBColor(0xB7, 0xB7, 0xFF));
        EXPECT_EQ(b->DownColor(), RGBColor(0x80, 0x00, 0xFF));
        EXPECT_EQ(b->BorderColor(), RGBColor(0x80, 0x80, 0x80));
        EXPECT_TRUE(b->Flat());
        EXPECT_TRUE(b->Ellipsis());
        EXPECT_EQ(b->Alignment(), haCenter);
        EXPECT_EQ(b->VAlignment(), vaCenter);
        EXPECT_EQ(b->Background(), stNormal);
    }
    EXPECT_EQ(form.BitBtn1->Caption(), "Start");
    EXPECT_EQ(form.BitBtn2->Caption(), "Cancel");
    EXPECT_EQ(form.HTMLButton1->Caption(), "Close");
    EXPECT_EQ(form.Label2->Caption(), "Please make sure you are connected to the Internet and press the "
                                      "\"Start\" button to check and download the latest software update.");
    EXPECT_EQ(form.Label4->Caption(), "Progress:");
    EXPECT_EQ(form.Label5->Caption(), "Transfer Rate:");

    // Pictures decoded at their sizes; the engine and cabinet settings.
    const auto* banner = form.findChild<TImage*>("Image2");
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->Picture()->Image().size(), QSize(470, 57));
    EXPECT_EQ(form.findChild<TImage*>("Image1")->Picture()->Image().size(), QSize(119, 256));
    EXPECT_EQ(form.findChild<TImage*>("Image3")->Picture()->Image().size(), QSize(402, 350));
    EXPECT_FALSE(form.WebCopy1->ShowDialog);
    EXPECT_FALSE(form.WebCopy1->ShowFileName);
    EXPECT_EQ(form.WebCopy1->DlgCaption, "Downloading ...");
    EXPECT_TRUE(form.WebCopy1->OnCopyProgress && form.WebCopy1->OnFileDateCheck && form.WebCopy1->OnError);
    EXPECT_FALSE(form.WebCopy1->OnFileStart || form.WebCopy1->OnErrorInfo || form.WebCopy1->OnCopyCancel);
    EXPECT_EQ(form.CABFile1->CompressionType(), typMSZIP);
    EXPECT_TRUE(form.OnCreate && form.OnClose);
}

TEST_F(MainWindow, WrittenWindowReadsBackTheSame) {
    TForm1 form;
    const QByteArray written = TFormDescription::WriteForm(form);
    TForm1 copy(QString(), QString(), nullptr, written);
    const TFormReport& report = copy.DescriptionReport();
    EXPECT_TRUE(report.Clean()) << report.Skipped.join('\n').toStdString();
    EXPECT_EQ(TFormDescription::WriteForm(copy), written);
}

TEST_F(MainWindow, FaultyDescriptionBuildsAWorkingWindowAndSaysWhatItSkipped) {
    QJsonObject d = QJsonDocument::fromJson(Form1Description()).object();
    QJsonArray components = d["Components"].toArray();
    for (int i = components.size() - 1; i >= 0; --i) {
        QJsonObject c = components[i].toObject();
        if (c["Name"] == "BitBtn2" || c["Name"] == "WebCopy1") {
            components.removeAt(i); // missing: made with defaults, handlers still bound
        } else if (c["Name"] == "Label4") {
            QJsonObject p = c["Properties"].toObject();
            p["Caption"] = 7;  // malformed
            p["Blink"] = true; // unknown
            c["Properties"] = p;
            components[i] = c;
        }
    }
    components.append(QJsonObject{{"Class", "TGauge"}, {"Name", "Gauge1"}});
    d["Components"] = components;
    const QByteArray text = QJsonDocument(d).toJson();
    TForm1 built(QString(), QString(), nullptr, text);
    const TFormReport& report = built.DescriptionReport();
    const QString all = report.Skipped.join('\n');
    EXPECT_TRUE(all.contains("Label4.Caption: bad value")) << all.toStdString();
    EXPECT_TRUE(all.contains("Label4.Blink: unknown property"));
    EXPECT_TRUE(all.contains("Gauge1: unknown class TGauge"));
    EXPECT_TRUE(all.contains("BitBtn2: missing"));
    EXPECT_TRUE(all.contains("WebCopy1: missing"));
    EXPECT_TRUE(all.contains("OnCopyProgress not bound by the description"));
    ASSERT_NE(built.BitBtn2, nullptr);
    ASSERT_NE(built.WebCopy1, nullptr);
    EXPECT_TRUE(built.WebCopy1->OnFileDone);
    // The rest of Label4 is still read.
    EXPECT_EQ(built.Label4->palette().color(QPalette::WindowText), QColor(0x00, 0x40, 0x80));
    EXPECT_EQ(Geometry(built, "Label4").topLeft(), QPoint(136, 224));

    TForm1 garbage(QString(), QString(), nullptr, "{\"Class\": \"TForm1\", ");
    const TFormReport& bad = garbage.DescriptionReport();
    EXPECT_TRUE(bad.Skipped.first().startsWith("not a form description"));
    EXPECT_NE(garbage.Label2, nullptr);
}

// A cabinet (one stored file) of exactly `size` bytes, made with gcab.
std::string StoredCabinetOfSize(std::size_t size) {
    TempDir work;
    std::size_t content = size - 200;
    for (int tries = 0; tries < 4; ++tries) {
        WriteFile(work / "q", std::string(content, 'q'));
        const std::string command = "cd '" + work.Path().string() + "' && gcab -c cab.cab q >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        const std::size_t made = std::filesystem::file_size(work / "cab.cab");
        if (made == size)
            return ReadFile(work / "cab.cab");
        content = content + size - made;
    }
    ADD_FAILURE() << "no cabinet of " << size << " bytes";
    return {};
}

TEST_F(MainWindow, ScreenshotsOfItsStates) {
    {
        auto form = MakeForm("/downloads/DirevidUreziv.cab");
        SaveScreenshot(*form, "ready");
    }
    {
        // A body that trickles out, grabbed part-way and then cancelled.
        server.Server().Get("/slow.cab", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Last-Modified", LocalHttpServer::HttpDate(kServerTime));
            res.set_content_provider(300 * 16384, "application/octet-stream",
                                     [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                         std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                         const std::string piece(16384, 'q');
                                         return sink.write(piece.data(), piece.size());
                                     });
        });
        auto form = MakeForm("/slow.cab");
        bool grabbed = false;
        Start(*form, [&] {
            if (!grabbed && form->XiProgressBar2->Position() >= 10 &&
                form->Label5->Caption() != "Transfer Rate:") {
                grabbed = true;
                EXPECT_FALSE(form->BitBtn1->isEnabled());
                SaveScreenshot(*form, "waiting");
                form->BitBtn2Click();
            }
        });
        EXPECT_TRUE(grabbed);
    }
    {
        server.ServeStatus("/missing.cab", 404);
        auto form = MakeForm("/missing.cab");
        boxes.clear();
        Start(*form);
        EXPECT_EQ(boxes, TShownBoxes{InformationBox("Error Updating the Quorvel! Please try again.")});
        EXPECT_TRUE(form->updateFailed);
        EXPECT_TRUE(form->BitBtn1->isVisible());
        SaveScreenshot(*form, "failed");
    }
    {
        HttpReply reply;
        reply.lastModified = kServerTime;
        server.ServeBytes("/downloads/DirevidUreziv.cab", StoredCabinetOfSize(200000), reply);
        auto form = MakeForm("/downloads/DirevidUreziv.cab");
        boxes.clear();
        Start(*form);
        EXPECT_EQ(boxes, TShownBoxes{InformationBox("Quorvel has been successfully updated!")});
        EXPECT_TRUE(form->transferDone);
        // The engine's lines: the progress with the file's total, the rate.
        EXPECT_EQ(form->Label4->Caption(), "Progress : 200.00 Kb of 200.00 Kb");
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^Transfer rate : \\d+([.,]\\d\\d)? (bytes|Kb|Mb)/sec$"))
                .match(form->Label5->Caption())
                .hasMatch())
            << form->Label5->Caption().toStdString();
        EXPECT_TRUE(form->HTMLButton1->isVisible());
        EXPECT_FALSE(form->BitBtn1->isVisible());
        SaveScreenshot(*form, "finished");
        form->upToDate = true; // nothing to install from this body
    }
}

} // namespace
