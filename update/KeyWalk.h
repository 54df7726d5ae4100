#pragma once

#include <QString>

#include <atomic>
#include <string>

namespace quorvel {

class TKeyState;

// Brings a key state to the newest key document its publisher has put
// beside the package: keys/1.keys, keys/2.keys, ... in the package's
// folder on the server. It starts from the document kept in the update
// folder by an earlier walk (believed only as a file of ours, and only as
// far as its own signatures go) and keeps the newest one it takes there,
// written whole. A copy that was away for many releases thus follows every
// rotation one document at a time; a document that does not take ends the
// walk (a later freshness statement naming a newer one then refuses).
namespace KeyWalk {

// The number of documents one walk takes at most.
constexpr int kMaxSteps = 1000;

void Walk(TKeyState& state, const std::string& packageUrl, const std::string& proxy,
          const std::atomic<bool>& cancelled, const QString& folder, const QString& keptName);

} // namespace KeyWalk

} // namespace quorvel
