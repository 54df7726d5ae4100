// Extracts one cabinet into a folder with TCABFile and prints the peak
// resident size in KiB. Exit status 0 on success.
#include "MessageBox.h"
#include "cabfiles.h"

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CABINET FOLDER\n", argv[0]);
        return 2;
    }
    SetMessageBoxHandler([](const QString& title, const QString& text, TMessageKind) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    });
    TCABFile cab;
    cab.SetCABFile(QString::fromLocal8Bit(argv[1]));
    cab.SetTargetPath(QString::fromLocal8Bit(argv[2]));
    const bool ok = cab.ExtractAll();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return ok ? 0 : 1;
}
