#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

class InetRequest;

// The HTTP side of resuming a download: what a response offers to resume by
// and what the answer to a range request means.
namespace HttpResume {

// The validator that a later range request names in If-Range: the response's
// ETag when it is a strong one, else its Last-Modified, as sent, when that is
// strong (the response's Date at least a second later); empty when it has
// neither (such a download is not resumed).
std::string Validator(const InetRequest& request);

// "Range: bytes=START-" and "If-Range: VALIDATOR".
std::vector<std::string> RangeHeaders(std::uint64_t start, const std::string& validator);

// "bytes FIRST-LAST/TOTAL"; false for anything else ("*" included).
bool ParseContentRange(const std::string& value, std::uint64_t& first, std::uint64_t& last,
                       std::uint64_t& total);

// The answer to a range request from start of a file of total bytes kept
// under validator:
//   Append:    206 with exactly the rest of the same file: its strong ETag,
//              or its strong Last-Modified, is validator.
//   StartOver: any other success (200, 203, ...): a whole file from byte 0.
//   Refetch:   an answer that fits neither (a 206 of another range, length
//              or file, several ranges, 416): ask again without a range.
//   Other:     any other status, for the routine's usual handling.
enum class Answer { Append, StartOver, Refetch, Other };
Answer Judge(const InetRequest& request, std::uint64_t start, std::uint64_t total,
             const std::string& validator);

} // namespace HttpResume

} // namespace quorvel
