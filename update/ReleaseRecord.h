#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

// The record of the installed release: a small file of ours in the update
// folder, ".STEM.release" (STEM: the package name without ".cab"), holding
// the release number of the last package installed under a release
// statement, in decimal, and a line end. It is written only as part of an
// install (committed and undone with the product's files), so it always
// names the release whose files are there.
namespace ReleaseRecord {

QString Name(const QString& packageName);
// The text the install stages for a release.
std::string Text(std::uint64_t release);

// What reading the record found.
enum class TStatus {
    Found,      // release holds the recorded release
    Missing,    // no record: no release installed under a statement
    Untrusted,  // not a regular file of the running user with one link (or a link): not believed
    Unreadable, // it could not be read (permissions, an I/O error)
    Malformed,  // it is ours but does not hold a release number
};
struct TReadResult {
    TStatus status = TStatus::Missing;
    std::uint64_t release = 0;
};
// Reads the record without following a link, only when it is a file of ours.
TReadResult ReadRecord(const QString& folder, const QString& packageName);
// The recorded release; 0 for anything but a record that was found.
std::uint64_t Read(const QString& folder, const QString& packageName);

// The installed release: the larger of the built-in one and the record;
// nullopt when the record is there but cannot be believed or read.
std::optional<std::uint64_t> Installed(const QString& folder, const QString& packageName,
                                       std::uint64_t builtIn);
// Whether `release` may be installed: it is above the installed release.
// Asked again under the folder's lock just before an install, since another
// updater may have installed a newer release after this one first read the
// record; so two updaters never roll each other back.
bool AboveInstalled(const QString& folder, const QString& packageName, std::uint64_t builtIn,
                    std::uint64_t release);

} // namespace ReleaseRecord

} // namespace quorvel
