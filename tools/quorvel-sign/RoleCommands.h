#pragma once

#include "Arguments.h"

namespace quorvel {

// The commands for vendors whose updaters follow key documents: write and
// sign a key document, sign a freshness statement, and check a chain of
// documents or a whole update as such an updater does. Each returns the
// exit status.
namespace RoleCommands {

// keys OUTPUT --product P --number N --root PUB... --threshold T
//      --release-key PUB... --freshness-key PUB [--max-jump J] [expiry]
//      [--sign KEYFILE...]
int Keys(const Arguments& args);
// cosign DOCUMENT KEYFILE
int Cosign(const Arguments& args);
// fresh KEYFILE --product P --package NAME [--channel C] --release M
//       --keys N [expiry] [--output FILE]
int Fresh(const Arguments& args);
// check-keys DOCUMENT... --product P --root PUB... --threshold T
int CheckKeys(const Arguments& args);
// check PACKAGE --root PUB... --threshold T --chain DOCUMENT... [--fresh
//       FILE] [--statement FILE] [--installed N] [--product P] [--package
//       NAME] [--channel C] [--base N]
int CheckUpdate(const Arguments& args);

} // namespace RoleCommands

} // namespace quorvel
