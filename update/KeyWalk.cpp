#include "KeyWalk.h"

#include "DurableWrite.h"
#include "OwnFile.h"
#include "SignatureError.h"
#include "TKeyState.h"
#include "TextFetch.h"

#include <QFile>

namespace quorvel {

namespace KeyWalk {

namespace {

// The folder of the package's address, "/" at the end.
std::string KeysBase(const std::string& packageUrl) {
    const std::size_t slash = packageUrl.rfind('/');
    return packageUrl.substr(0, slash + 1) + "keys/";
}

} // namespace

void Walk(TKeyState& state, const std::string& packageUrl, const std::string& proxy,
          const std::atomic<bool>& cancelled, const QString& folder, const QString& keptName) {
    const std::string keptPath =
        keptName.isEmpty() ? std::string() : QFile::encodeName(folder + keptName).toStdString();
    std::string kept;
    if (!keptPath.empty() &&
        OwnFile::Read(keptPath, TKeyDocument::kMaxTextSize, kept) == OwnFile::TRead::Found)
        state.Restore(kept);
    const std::uint64_t start = state.Number();
    for (int step = 0; step < kMaxSteps && !cancelled; ++step) {
        const auto text = FetchText(KeysBase(packageUrl) + std::to_string(state.Number() + 1) + ".keys",
                                    proxy, cancelled, TKeyDocument::kMaxTextSize);
        if (!text || state.Advance(*text) != SignatureError::kNone)
            break;
    }
    if (state.Number() > start && !keptPath.empty())
        DurableWrite::ReplacePath(keptPath, state.Document()->Text());
}

} // namespace KeyWalk

} // namespace quorvel
