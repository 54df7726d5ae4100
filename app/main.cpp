#include "ThemeAccess.h"
#include "UpdateCommand.h"
#include "softwareupdate.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

using namespace quorvel;

namespace {

// --help and --version are answered before any window system is needed, so
// they work on a console and at build time (for the manual page).
bool AnswerInfoOption(int argc, char** argv, int& result) {
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("DirevidUreziv (Quorvel) %s\n", QUORVEL_VERSION);
    } else if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::printf(
            "Usage: DirevidUreziv [--help | --version]\n"
            "       DirevidUreziv --check | --update [--folder DIR] [--url URL]\n"
            "\n"
            "Opens the Quorvel Software Update window. \"Start\" downloads the update package\n"
            "from %s\n"
            "into the folder this program is in, only when the server's copy is at least as\n"
            "new as the local one, showing the progress and the transfer rate. Closing the\n"
            "window after a good download checks the package and unpacks it over the files\n"
            "of that folder; an install that is interrupted is undone at the next start.\n"
            "%s\n"
            "Without a window (no display needed; for scripts, timers and remote shells):\n"
            "  --check        ask the server only, download nothing; prints one line and\n"
            "                 exits 0 when current, 10 when an update is available, 1 on\n"
            "                 an error\n"
            "  --update       download, check and install the update; exits 0 when it\n"
            "                 installed or there was nothing to do, 1 on an error (the\n"
            "                 product is then as it was); progress on standard error\n"
            "                 when that is a terminal\n"
            "  --folder DIR   the product folder to update (default: this program's)\n"
            "  --url URL      the package's address (default: the one built in)\n"
            "One updater at a time per folder: a window that has pressed \"Start\" holds\n"
            "its folder until it closes, a command-line run while it runs.\n"
            "\n"
            "Options:\n"
            "  -h, --help     show this text\n"
            "  --version      show the version\n"
            "Qt's own options (such as -platform) are accepted too.\n",
            QUORVEL_UPDATE_URL,
            *QUORVEL_UPDATE_KEY
                ? "Before the package it fetches the signed release statement (<package URL>.release)\n"
                  "and takes only a package the statement describes, signed with a release key\n"
                  "built into this program, for a release above the installed one.\n"
                : "");
    } else {
        return false;
    }
    result = 0;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (int result = 0; AnswerInfoOption(argc, argv, result))
        return result;
    if (UpdateCommand::Wanted(argc, argv))
        return UpdateCommand::Run(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DirevidUreziv"));
    QApplication::setApplicationDisplayName(QString());
    // Theme access is bound before the first window and let go after the last.
    Theme::LoadThemeLibrary();
    int result = 0;
    {
        TForm1 form;
        form.show();
        result = app.exec();
    }
    Theme::ReleaseThemeLibrary();
    return result;
}
