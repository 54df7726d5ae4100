// Reads arbitrary text as a window description into a window with every
// class of the updater registered, then writes what was built and reads that
// back: a description must never crash the reader, and what the reader built
// must always write out as a description that reads again without a fault.
#include "TForm.h"
#include "TForm1Description.h"
#include "TFormDescription.h"

#include <QApplication>
#include <cstddef>
#include <cstdint>

using namespace quorvel;

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "form_fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

} // namespace

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    App();
    RegisterWindowClasses();
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Handlers named "Bound" are accepted for any event, others refused.
    const TEventBinder binder = [](QObject*, const QString&, const QString& handler) {
        return handler == QLatin1String("Bound");
    };
    TForm window;
    TFormReport report;
    if (!TFormDescription::ReadForm(text, window, binder, report))
        return 0;
    const QByteArray written = TFormDescription::WriteForm(window);
    TForm again;
    TFormReport second;
    if (!TFormDescription::ReadForm(written, again, binder, second))
        __builtin_trap();
    return 0;
}
