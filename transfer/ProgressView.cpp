#include "ProgressView.h"

#include <QCoreApplication>

namespace quorvel {

namespace ProgressView {

namespace {

Hooks& Slot() {
    static Hooks hooks;
    return hooks;
}

} // namespace

void Install(Hooks hooks) {
    Slot() = std::move(hooks);
}

bool Available() {
    const QCoreApplication* app = QCoreApplication::instance();
    return Slot().create && app && app->inherits("QApplication");
}

const Hooks& Installed() {
    return Slot();
}

} // namespace ProgressView

} // namespace quorvel
