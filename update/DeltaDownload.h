#pragma once

#include "TSha512.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quorvel {

// The small transfers of a delta update through the internet layer, beside
// the engine's job for the full package.
namespace DeltaDownload {

// The text at url (status 200, at most maxSize bytes), or nullopt: no
// answer, another status, a longer body, a failed read or a cancel.
std::optional<std::string> FetchText(const std::string& url, const std::string& proxy,
                                     const std::atomic<bool>& cancelled, std::size_t maxSize);

// Bytes moved so far and the size they lead to.
using TProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Brings the file open at fd (read and write, ours) to the package at url of
// exactly `size` bytes and digest `digest`. Bytes already in the file are
// taken as the package's first ones and only the rest is asked for (a Range
// request; a server that sends the whole package again starts the file
// anew). Every byte is hashed as it is written, and nothing past `size` is
// taken. True when the file holds exactly the stated package; false leaves
// in the file only bytes that may still be the package's start (an
// interrupted transfer, resumed later against the same statement) or none.
bool Fetch(int fd, const std::string& url, const std::string& proxy, const std::atomic<bool>& cancelled,
           std::uint64_t size, const TSha512::Digest& digest, const TProgress& progress);

} // namespace DeltaDownload

} // namespace quorvel
