// headless-update URL FOLDER [PUBLIC_KEY]
//
// Updates the product in FOLDER from the package at URL, printing the
// progress and the outcome. With PUBLIC_KEY (base64 Ed25519), the package
// must come with a release statement at URL.release signed by that key.
// Exits 0 when the product is current (installed now, or already).
#include <quorvel/TUpdate.h>
#include <quorvel/WebCopy.h>

#include <QCoreApplication>

#include <cstdio>

using namespace quorvel;

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s URL FOLDER [PUBLIC_KEY]\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);

    TUpdateSettings settings;
    settings.url = QString::fromUtf8(argv[1]);
    // The package keeps the name its address gives it.
    settings.packageName = settings.url.section(QLatin1Char('/'), -1);
    settings.folder = QString::fromUtf8(argv[2]);
    if (argc == 4)
        settings.key = QString::fromUtf8(argv[3]);

    TUpdate update(settings);
    update.OnProgress = [](const TUpdateProgress& progress) {
        std::printf("progress %llu of %llu\n", static_cast<unsigned long long>(progress.done),
                    static_cast<unsigned long long>(progress.total));
    };
    TWebCopy engine; // the update binds its events
    const TUpdateOutcome outcome = update.Run(engine);
    std::printf("outcome: %s\n",
                qUtf8Printable(QString(outcome.message).replace(QLatin1Char('\r'), QLatin1Char(' '))));
    return outcome.reason == TUpdateReason::Installed || outcome.reason == TUpdateReason::UpToDate ? 0 : 1;
}
