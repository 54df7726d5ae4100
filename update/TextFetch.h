#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>

namespace quorvel {

// A small text at a URL (a statement, a key document): the body of a 200
// answer, or nullopt for no answer, another status, a body longer than
// maxSize, a failed read or a cancel. notFound is set on a 404.
std::optional<std::string> FetchText(const std::string& url, const std::string& proxy,
                                     const std::atomic<bool>& cancelled, std::size_t maxSize,
                                     bool* notFound = nullptr);

} // namespace quorvel
