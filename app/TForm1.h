#pragma once

#include "DateTime.h"
#include "TWindowUpdates.h"

#include <QString>
#include <QWidget>

#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;
class TCABFile;
class TWebCopy;

// The updater's window: "Start" downloads the update package when the
// server's copy is at least as new as the local one, "Cancel" stops, closing
// the window after a good download installs the package.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    // updateFolder (with a trailing separator) and downloadUrl default to the
    // executable's folder and the built-in download address.
    explicit TForm1(const QString& updateFolder = QString(), const QString& downloadUrl = QString(),
                    QWidget* parent = nullptr);
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

    QString UpdateFolder() const { return m_updateFolder; }
    QString DownloadUrl() const { return m_downloadUrl; }
    QString PackagePath() const { return m_updateFolder + QStringLiteral("DirevidUreziv.cab"); }
    // The instruction text exactly as set (lines separated by a carriage return).
    QString InstructionText() const { return m_instruction; }
    bool Waiting() const { return m_waitDepth > 0; }

    // Components and controls.
    TWebCopy* WebCopy1 = nullptr;
    TCABFile* CABFile1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* HTMLButton1 = nullptr;
    QProgressBar* XiProgressBar2 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;

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
    void CreateControls();
    void ConfigureEngine();
    void WaitForTransfer();
    void SetInstruction(const QString& text);
    void RemovePackage();
    void ApplyChanges(const TWindowChanges& changes);

    QString m_updateFolder;
    QString m_downloadUrl;
    QString m_instruction;
    TWindowUpdates m_updates;
    // The current run has written into the package file and not yet finished
    // it (set by progress, cleared by file-done): a run that ends in between
    // was cancelled mid-body and leaves a partial package.
    std::atomic<bool> m_partialPackage{false};
    int m_waitDepth = 0;
    bool m_closing = false;
    bool m_closeHandled = false;
};
