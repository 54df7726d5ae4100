#pragma once

#include "DateTime.h"
#include "ProgressMeter.h"
#include "TForm.h"
#include "TFormDescription.h"
#include "TUpdate.h"
#include "TWindowUpdates.h"

#include <QString>

#include <atomic>
#include <cstdint>

namespace quorvel {

class TCABFile;
class TFileOps;
class THTMLButton;
class TLabel;
class TWebCopy;
class TXiProgressBar;

// The updater's window: "Start" downloads the update package when the
// server's copy is at least as new as the local one, "Cancel" stops, closing
// the window after a good download installs the package. The window, its
// controls and components and the binding of its handlers come from its
// stored description (TForm1Description).
class TForm1 : public TForm {
    Q_OBJECT

public:
    // updateFolder (with a trailing separator) and downloadUrl default to the
    // executable's folder and the built-in download address; description to
    // the window's stored description.
    explicit TForm1(const QString& updateFolder = QString(), const QString& downloadUrl = QString(),
                    QWidget* parent = nullptr, const QByteArray& description = QByteArray());
    ~TForm1() override;

    // Window handlers.
    void FormCreate();
    void FormClose();
    void BitBtn1Click();     // "Start"
    void BitBtn2Click();     // "Cancel"
    void HTMLButton1Click(); // "Close"

    // Engine handlers; they run on the engine's worker thread.
    void WebCopy1FileDateCheck(int idx, TDateTime newdate, bool& allow);
    void WebCopy1CopyProgress();
    void WebCopy1FileDone();
    void WebCopy1CopyDone();
    void WebCopy1Error();
    void WebCopy1ConnectError();
    void WebCopy1URLNotFound();
    void WebCopy1NoNewFileFound();
    void WebCopy1VerifyFile(int fd, const QString& tempPath, bool& accept);
    // With keys: the release statement before the package, and the
    // package's bytes as they arrive.
    void WebCopy1FileStart();
    void WebCopy1DataBlock(const char* data, std::size_t length);

    // The public keys release statements must be signed with (base64; the
    // current one and the one taking over; both empty: none). Default to the
    // built-in keys; set them only while no download runs.
    void SetUpdateKey(const QString& keyBase64, const QString& nextKeyBase64 = QString());
    QString PackagePath() const { return m_updateFolder + QStringLiteral("DirevidUreziv.cab"); }
    // The instruction text exactly as set (lines separated by a carriage return).
    QString InstructionText() const { return m_instruction; }
    // What building the window from its description skipped or completed.
    const TFormReport& DescriptionReport() const { return m_descriptionReport; }

    // The file operations of the install; null for the system's. Tests make
    // one of them fail.
    TFileOps* InstallOps = nullptr;
    // The largest package "Start" downloads, in bytes (the build setting
    // QUORVEL_MAX_PACKAGE_SIZE); set it only while no download runs.
    std::uint64_t MaxPackageSize = 0;

    // Components and controls.
    TWebCopy* WebCopy1 = nullptr;
    TCABFile* CABFile1 = nullptr;
    THTMLButton* BitBtn1 = nullptr;
    THTMLButton* BitBtn2 = nullptr;
    THTMLButton* HTMLButton1 = nullptr;
    TXiProgressBar* XiProgressBar2 = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label4 = nullptr;
    TLabel* Label5 = nullptr;

    // Flags shared between the handlers on both threads.
    std::atomic<bool> transferDone{false};
    std::atomic<bool> fileReceived{false};
    std::atomic<bool> updateFailed{false};
    std::atomic<bool> upToDate{false};
    std::atomic<bool> cancelRequested{false};
    std::atomic<bool> dateChecked{false};

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void WaitForTransfer();
    void ShowUpToDate();
    void SetInstruction(const QString& text);
    void ApplyChanges(const TWindowChanges& changes);
    // The bar and the byte and rate texts while a delta moves (worker thread).
    void ShowDeltaProgress(const TUpdateProgress& progress);
    void BindReleaseHandlers();
    // The update's settings as the window holds them now.
    TUpdateSettings UpdateSettings() const;

    QString m_givenFolder; // from the constructor; empty for the executable's folder
    QString m_updateFolder;
    QString m_downloadUrl;
    QString m_instruction;
    TFormReport m_descriptionReport;
    TWindowUpdates m_updates;
    QString m_key, m_nextKey;
    TUpdate m_update;
    TFolderLock m_hold;          // the update folder, from the first "Start" to the window's end
    TProgressMeter m_deltaMeter; // the delta under way (worker thread)
    int m_waitDepth = 0;
    bool m_closing = false;
    bool m_closeHandled = false;
};

} // namespace quorvel
