#include "ProgressDialog.h"
#include "ProgressView.h"
#include "Shell.h"

#include "QuorvelExport.h"

#include <QApplication>
#include <QStyle>

namespace quorvel {

// Referenced by the library's link option, so that every program linking the
// library keeps this object and its registration below.
extern "C" {
[[maybe_unused]] extern QUORVEL_EXPORT const int quorvel_progress_dialog_linked;
const int quorvel_progress_dialog_linked = 1;
}

namespace {

// Puts the dialog behind the engine's progress window at start-up.
const bool kInstalled = [] {
    ProgressView::Install({
        .create = [](std::shared_ptr<TProgressWindow> state) -> QObject* {
            return new TProgressDialog(std::move(state));
        },
        .refresh = [](QObject* view,
                      const TProgressWindowSnapshot& s) { static_cast<TProgressDialog*>(view)->Refresh(s); },
        .open = [](const QString& path) { ShellOpen(path); },
        .captionHeight = [] { return QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight); },
    });
    return true;
}();

} // namespace

} // namespace quorvel
