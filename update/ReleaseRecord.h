#pragma once

#include <QString>

#include <cstdint>
#include <string>

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
// The recorded release; 0 when there is no record, or it is not one (a
// record is only ever written whole, by a rename).
std::uint64_t Read(const QString& folder, const QString& packageName);

} // namespace ReleaseRecord
