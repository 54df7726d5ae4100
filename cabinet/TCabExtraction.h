#pragma once

#include "TCABFile.h"

namespace quorvel {

// The state of one extraction that TCABFile keeps private, as the
// extraction's callbacks (CabCallbacks) reach it: the file being written,
// and whether the run only checks. Not installed: callers cannot reach it.
class TCabExtraction {
public:
    static auto& Output(TCABFile& cab) { return cab.Output; }
    static bool Verifying(const TCABFile& cab) { return cab.Verifying; }
};

} // namespace quorvel
