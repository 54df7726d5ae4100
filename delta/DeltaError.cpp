#include "DeltaError.h"

namespace quorvel {

const char* DeltaErrorText(TDeltaError error) {
    switch (error) {
    case TDeltaError::None:
        return "no error";
    case TDeltaError::MissingBase:
        return "an installed file the delta patches is missing";
    case TDeltaError::ChangedBase:
        return "an installed file the delta patches has changed";
    case TDeltaError::BadPatch:
        return "a patch of the delta is damaged";
    case TDeltaError::ResultMismatch:
        return "a file built from the delta is not the expected one";
    case TDeltaError::Malformed:
        return "the delta package is malformed";
    case TDeltaError::IoError:
        return "a file could not be read or written";
    case TDeltaError::NoSpace:
        return "no space left for the delta's files";
    }
    return "unknown delta error";
}

} // namespace quorvel
