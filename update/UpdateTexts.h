#pragma once

namespace quorvel {

// The texts an update shows its user, the same in the window and on the
// command line.
namespace UpdateTexts {

inline constexpr const char* kError = "Error Updating the Quorvel! Please try again.";
inline constexpr const char* kSuccess = "Quorvel has been successfully updated!";
// Two lines separated by a single carriage return, as the window shows them.
inline constexpr const char* kUpToDate = "There is not available update.\rYour version is current!";
inline constexpr const char* kAvailable = "An update is available.";
// An install that a kill or a crash interrupted could not be undone, or the
// folder holds files of ours that are not ours: the product may be mixed.
inline constexpr const char* kRecoveryFailed = "The last update of the Quorvel could not be checked or "
                                               "undone. Please try again, or reinstall the Quorvel.";
inline constexpr const char* kBusy = "Another update is running in this folder.";

} // namespace UpdateTexts

} // namespace quorvel
