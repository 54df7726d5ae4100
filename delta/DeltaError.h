#pragma once

namespace quorvel {

// Why a delta could not be applied. Every value other than None tells the
// caller to fall back to the full package: nothing outside the staging
// folder was written, and the files the delta had built there are gone.
enum class TDeltaError {
    None,
    MissingBase,    // an installed file a patch applies to is missing, or no regular file
    ChangedBase,    // an installed file a patch applies to is not the one it was made against
    BadPatch,       // a patch is damaged or asks for more memory than allowed
    ResultMismatch, // a built file's size or digest is not the manifest's
    Malformed,      // the package is no readable delta: manifest, entries, cabinet
    IoError,        // reading an installed file or writing the staging folder failed
    NoSpace,        // the staging folder's file system is full
};

// A short English text for logs.
const char* DeltaErrorText(TDeltaError error);

} // namespace quorvel
