#include "HttpResume.h"

#include "InetRequest.h"
#include "KeptFileText.h"

#include <algorithm>

namespace HttpResume {

namespace {

const auto Number = KeptFileText::ParseDecimal;

} // namespace

std::string Validator(const InetRequest& request) {
    std::string value;
    // A weak ETag never matches in If-Range: the server would send the whole
    // file every time.
    if (request.QueryHeader("ETag", value) && value.size() >= 2 && value.front() == '"' &&
        value.back() == '"')
        return value;
    if (request.QueryHeader("Last-Modified", value))
        return value;
    return {};
}

std::vector<std::string> RangeHeaders(std::uint64_t start, const std::string& validator) {
    return {"Range: bytes=" + std::to_string(start) + "-", "If-Range: " + validator};
}

bool ParseContentRange(const std::string& value, std::uint64_t& first, std::uint64_t& last,
                       std::uint64_t& total) {
    const std::string prefix = "bytes ";
    if (value.compare(0, prefix.size(), prefix) != 0)
        return false;
    const auto dash = value.find('-', prefix.size());
    const auto slash = value.find('/', prefix.size());
    if (dash == std::string::npos || slash == std::string::npos || dash > slash)
        return false;
    return Number(value.substr(prefix.size(), dash - prefix.size()), first) &&
           Number(value.substr(dash + 1, slash - dash - 1), last) && Number(value.substr(slash + 1), total) &&
           first <= last && last < total;
}

Answer Judge(const InetRequest& request, std::uint64_t start, std::uint64_t total) {
    std::uint32_t status = 0;
    request.QueryStatusCode(status);
    if (status == 200)
        return Answer::StartOver;
    if (status == 416)
        return Answer::Refetch;
    if (status != 206)
        return Answer::Other;
    std::string range;
    std::uint64_t first = 0, last = 0, length = 0;
    if (!request.QueryHeader("Content-Range", range) || !ParseContentRange(range, first, last, length))
        return Answer::Refetch;
    return first == start && last + 1 == total && length == total ? Answer::Append : Answer::Refetch;
}

} // namespace HttpResume
