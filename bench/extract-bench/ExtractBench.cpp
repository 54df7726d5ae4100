// Extracts one cabinet into a folder with TCABFile, or installs it there
// through the staged install (staging, flush, journal, commit by renames),
// and prints the peak resident size in KiB. Exit status 0 on success.
#include "MessageBox.h"
#include "TStagedInstall.h"
#include "cabfiles.h"

#include <cstdio>
#include <cstring>
#include <sys/resource.h>

using namespace quorvel;

int main(int argc, char** argv) {
    const bool install = argc == 4 && std::strcmp(argv[1], "--install") == 0;
    if (argc != 3 && !install) {
        std::fprintf(stderr, "usage: %s [--install] CABINET FOLDER\n", argv[0]);
        return 2;
    }
    SetMessageBoxHandler([](const QString& title, const QString& text, TMessageKind) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    });
    const QString cabinet = QString::fromLocal8Bit(argv[argc - 2]);
    const QString folder = QString::fromLocal8Bit(argv[argc - 1]);
    TCABFile cab;
    bool ok = false;
    if (install) {
        TStagedInstall staged(folder, QStringLiteral("bench.cab"), TFileOps::System());
        ok = staged.Install(cab, cabinet);
    } else {
        cab.SetCABFile(cabinet);
        cab.SetTargetPath(folder);
        ok = cab.ExtractAll();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    return ok ? 0 : 1;
}
