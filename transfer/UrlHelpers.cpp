#include "UrlHelpers.h"

#include "InetError.h"
#include "WebCopy.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quorvel {

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The URL without its scheme and user part (steps shared by host and path).
std::string AfterSchemeAndUser(const std::string& url) {
    std::string rest = url;
    const auto scheme = Upper(rest).find("://");
    if (scheme != std::string::npos)
        rest.erase(0, scheme + 3);
    const auto at = rest.find('@');
    if (at != std::string::npos)
        rest.erase(0, at + 1);
    return rest;
}

} // namespace

std::string UrlFileName(const std::string& text) {
    std::string rest = text;
    const auto slash = rest.rfind('/');
    if (slash != std::string::npos)
        rest.erase(0, slash + 1);
    const auto backslash = rest.rfind('\\');
    if (backslash != std::string::npos)
        rest.erase(0, backslash + 1);
    return rest;
}

std::string UrlHost(const std::string& url) {
    std::string rest = AfterSchemeAndUser(url);
    const auto slash = rest.find('/');
    if (slash != std::string::npos)
        rest.erase(slash);
    return rest;
}

std::string UrlPath(const std::string& url) {
    std::string rest = AfterSchemeAndUser(url);
    const auto slash = rest.find('/');
    if (slash != std::string::npos)
        rest.erase(0, slash);
    return rest;
}

std::string AddUrlCredentials(const TWebCopy& engine, const std::string& url) {
    const std::string user = engine.ProxyUserID.toStdString();
    const std::string password = engine.ProxyPassword.toStdString();
    if (Upper(url).rfind("HTTP://", 0) != 0 || user.empty() || password.empty())
        return url;
    return "http://" + user + ":" + password + "@" + url.substr(7);
}

std::string JoinTargetPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/' || folder.back() == '\\')
        return folder + name;
    return folder + "/" + name;
}

std::string LocalPath(const std::string& path) {
    std::string local = path;
    std::replace(local.begin(), local.end(), '\\', '/');
    return local;
}

std::string FolderOf(const std::string& path) {
    const auto end = path.find_last_of("/\\");
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

bool FolderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_directory(std::filesystem::path(LocalPath(path)), ec);
}

bool ForceFolders(const std::string& path) {
    if (path.empty() || FolderExists(path))
        return true;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(LocalPath(path)), ec);
    return FolderExists(path);
}

TDateTime SystemTimeToDate(const TDateFields& fields) {
    return DateTime::Encode(fields);
}

TDateTime FileTimeToDate(std::uint64_t fileTime) {
    // Seconds between 1601-01-01 and 1970-01-01.
    constexpr std::int64_t kEpochGap = 11644473600LL;
    const auto seconds = static_cast<std::int64_t>(fileTime / 10000000ULL) - kEpochGap;
    const auto ms = static_cast<int>(fileTime / 10000ULL % 1000ULL);
    TDateFields fields = DateTime::Decode(DateTime::FromUnixUtc(seconds));
    fields.millisecond = ms;
    return SystemTimeToDate(fields);
}

std::string WinInetErrorText(int code) {
    return InetErrorText(static_cast<InetError>(code));
}

} // namespace quorvel
