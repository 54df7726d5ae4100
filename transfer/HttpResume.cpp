#include "HttpResume.h"

#include "DateTime.h"
#include "HttpDate.h"
#include "InetRequest.h"
#include "KeptFileText.h"

#include <algorithm>

namespace quorvel {

namespace HttpResume {

namespace {

const auto Number = KeptFileText::ParseDecimal;

bool IsStrongEtag(const std::string& value) {
    return value.size() >= 2 && value.front() == '"' && value.back() == '"';
}

// An HTTP date header as seconds since 1970; false when missing or no date.
bool HeaderSeconds(const InetRequest& request, const char* name, std::string& text, std::int64_t& seconds) {
    TDateFields fields;
    if (!request.QueryHeader(name, text) || !HttpDate::Parse(text, fields))
        return false;
    try {
        seconds = DateTime::ToUnixUtc(DateTime::Encode(fields));
    } catch (const EConvertError&) {
        return false;
    }
    return true;
}

// The response's Last-Modified when it is a strong validator: the file was
// not changed within the second the server answered in, so another version
// cannot carry the same date. Empty otherwise.
std::string StrongLastModified(const InetRequest& request) {
    std::string modified, date;
    std::int64_t modifiedSeconds = 0, dateSeconds = 0;
    if (!HeaderSeconds(request, "Last-Modified", modified, modifiedSeconds) ||
        !HeaderSeconds(request, "Date", date, dateSeconds) || dateSeconds < modifiedSeconds + 1)
        return {};
    return modified;
}

// Whether a 206 is a part of the file the kept bytes came from: its strong
// ETag, or its strong Last-Modified, is the recorded validator. A server or
// cache that honours Range but not If-Range would otherwise hand back the
// end of another file.
bool SameFile(const InetRequest& request, const std::string& validator) {
    if (validator.empty())
        return false;
    if (IsStrongEtag(validator)) {
        std::string etag;
        return request.QueryHeader("ETag", etag) && etag == validator;
    }
    return StrongLastModified(request) == validator;
}

} // namespace

std::string Validator(const InetRequest& request) {
    std::string value;
    // A weak ETag never matches in If-Range: the server would send the whole
    // file every time.
    if (request.QueryHeader("ETag", value) && IsStrongEtag(value))
        return value;
    return StrongLastModified(request);
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

Answer Judge(const InetRequest& request, std::uint64_t start, std::uint64_t total,
             const std::string& validator) {
    std::uint32_t status = 0;
    request.QueryStatusCode(status);
    if (status == 416)
        return Answer::Refetch;
    // Only a 206 is a part; any other success carries a whole body.
    if (status >= 200 && status < 300 && status != 206)
        return Answer::StartOver;
    if (status != 206)
        return Answer::Other;
    std::string range;
    std::uint64_t first = 0, last = 0, length = 0;
    if (!request.QueryHeader("Content-Range", range) || !ParseContentRange(range, first, last, length))
        return Answer::Refetch;
    if (first != start || last + 1 != total || length != total)
        return Answer::Refetch;
    return SameFile(request, validator) ? Answer::Append : Answer::Refetch;
}

} // namespace HttpResume

} // namespace quorvel
