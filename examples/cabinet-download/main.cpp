// Downloads a cabinet over HTTP with TWebCopy and unpacks it with TCABFile,
// printing every event:
//   cabinet-download URL FOLDER
// The cabinet is saved in FOLDER and unpacked into FOLDER/unpacked. Exits 0
// when both steps succeeded.
#include <quorvel/WebCopy.h>
#include <quorvel/cabfiles.h>

#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>

using namespace quorvel;

namespace {

// The engine raises its events on its own worker thread; the program waits
// here until the run has ended.
class RunEnd {
public:
    void Signal() {
        std::lock_guard lock(m_mutex);
        m_done = true;
        m_changed.notify_all();
    }
    void Wait() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_done; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
};

std::string Text(const QString& text) {
    return text.toStdString();
}

bool Download(const QString& url, const QString& folder, QString& saved) {
    TWebCopy engine;
    engine.ShowDialog = false; // no window: this is a console program
    TWebCopyItem* job = engine.Items().Add();
    job->Protocol = wpHttp;
    job->URL = url;
    job->TargetDir = folder;

    RunEnd end;
    engine.OnFileStart = [](TWebCopy* sender, int idx) {
        std::cout << "download started: " << Text(sender->Items()[idx]->URL) << "\n";
    };
    // Every event comes from the one worker thread, one after another.
    std::uint64_t received = 0;
    engine.OnCopyProgress = [&received](TWebCopy*, int, std::uint64_t size, std::uint64_t total) {
        if (total > 0 && size * 4 / total > received * 4 / total)
            std::cout << "received " << size << " of " << total << " bytes\n";
        received = size;
    };
    engine.OnFileDone = [&received](TWebCopy* sender, int) {
        std::cout << "download done: " << Text(sender->LastTargetFile()) << " (" << received << " bytes)\n";
    };
    engine.OnErrorInfo = [](TWebCopy*, int code, const QString& info) {
        std::cout << "download error " << code << ": " << Text(info.trimmed()) << "\n";
    };
    engine.OnURLNotFound = [](TWebCopy*, const QString& missing) {
        std::cout << "not found: " << Text(missing) << "\n";
    };
    engine.OnCopyDone = [&end](TWebCopy*) { end.Signal(); };

    engine.StartTransfers();
    end.Wait();
    saved = engine.LastTargetFile();
    return job->CopySucceeded;
}

bool Unpack(const QString& cabinet, const QString& folder) {
    TCABFile cab;
    cab.SetCABFile(cabinet);
    cab.SetTargetPath(folder);
    cab.OnDecompressProgress = [](QObject*, const QString& name, qint64 pos, qint64 total) {
        if (pos == total)
            std::cout << "unpacked " << Text(name) << " (" << total << " bytes)\n";
    };
    cab.OnOverWriteFile = [](QObject*, const QString& name, bool& allow) {
        allow = true;
        std::cout << "replacing " << Text(name) << "\n";
    };
    const bool ok = cab.ExtractAll();
    std::cout << (ok ? "unpacked into " : "could not unpack into ") << Text(folder) << "\n";
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: cabinet-download URL FOLDER\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[2]);
    QString saved;
    if (!Download(QString::fromLocal8Bit(argv[1]), folder, saved))
        return 1;
    return Unpack(saved, folder + "/unpacked") ? 0 : 1;
}
