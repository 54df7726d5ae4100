#pragma once

#include "QuorvelExport.h"

#include "DateTime.h"

#include <cstdint>
#include <string>

namespace quorvel {

class TWebCopy;

// URL and path helpers of the transfer routines. They work on plain text and
// never fail; an input without the separators they look for passes unchanged.

// The last segment: the text after the last "/", and within that after the last "\".
QUORVEL_EXPORT std::string UrlFileName(const std::string& text);
// Host (with any port) of a URL, without scheme and user part.
QUORVEL_EXPORT std::string UrlHost(const std::string& url);
// Path of a URL starting with "/"; the host itself when the URL has no path.
QUORVEL_EXPORT std::string UrlPath(const std::string& url);
// An http:// URL with the engine's ProxyUserID:ProxyPassword@ put before the
// host when both are set; any other URL unchanged.
QUORVEL_EXPORT std::string AddUrlCredentials(const TWebCopy& engine, const std::string& url);
// Folder and file name; a folder ending in "/" or "\" is joined directly.
QUORVEL_EXPORT std::string JoinTargetPath(const std::string& folder, const std::string& name);
// The file-system spelling of a path taken from a job: every "\" becomes "/".
// Every path a routine hands to the file system goes through this one place.
QUORVEL_EXPORT std::string LocalPath(const std::string& path);
// The folder part of a path (up to and including its last "/" or "\").
QUORVEL_EXPORT std::string FolderOf(const std::string& path);

QUORVEL_EXPORT bool FolderExists(const std::string& path);
// Creates a folder and its missing parents; true when the folder exists after.
QUORVEL_EXPORT bool ForceFolders(const std::string& path);

// Calendar fields to a date-time value, strictly: fields out of range (all
// zero included) throw EConvertError. No time-zone change.
QUORVEL_EXPORT TDateTime SystemTimeToDate(const TDateFields& fields);
// A file time (100-nanosecond intervals since 1601-01-01) to a date-time
// value in the same time zone; throws EConvertError beyond year 9999.
QUORVEL_EXPORT TDateTime FileTimeToDate(std::uint64_t fileTime);

// Readable text of an internet layer error code; never empty.
QUORVEL_EXPORT std::string WinInetErrorText(int code);

} // namespace quorvel
