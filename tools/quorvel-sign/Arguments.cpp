#include "Arguments.h"

#include "SignatureError.h"
#include "UtcTime.h"

#include <algorithm>
#include <fstream>
#include <iostream>

namespace quorvel {

namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

const char* const kValued[] = {
    "--product",   "--release",        "--expires",   "--days",        "--output",        "--key",
    "--statement", "--passphrase-env", "--package",   "--channel",     "--base",          "--passphrase-file",
    "--number",    "--root",           "--threshold", "--release-key", "--freshness-key", "--max-jump",
    "--sign",      "--chain",          "--fresh",     "--installed",   "--keys"};
const char* const kRepeated[] = {"--key", "--root", "--release-key", "--sign", "--chain"};
const char* const kFlags[] = {"--roles", "--no-passphrase", "--format-1"};

bool In(const auto& names, const std::string& name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

} // namespace

std::optional<std::string> Arguments::Option(const std::string& name) const {
    const auto found = options.find(name);
    return found == options.end() ? std::nullopt : std::optional(found->second);
}

std::vector<std::string> Arguments::All(const std::string& name) const {
    std::vector<std::string> values;
    for (auto [at, end] = options.equal_range(name); at != end; ++at)
        values.push_back(at->second);
    return values;
}

Arguments Split(const std::vector<std::string>& args) {
    Arguments result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            result.words.push_back(arg);
            continue;
        }
        const bool flag = In(kFlags, arg);
        const bool repeated = !In(kRepeated, arg) && result.options.count(arg) > 0;
        if ((!flag && !In(kValued, arg)) || repeated || (!flag && i + 1 == args.size())) {
            result.valid = false;
            return result;
        }
        result.options.emplace(arg, flag ? std::string() : args[++i]);
    }
    return result;
}

int Fail(const std::string& what, SignatureError code) {
    std::cerr << "quorvel-sign: " << what << ": " << SignatureErrorText(code) << "\n";
    return 1;
}

int FailWith(const std::string& message) {
    std::cerr << "quorvel-sign: " << message << "\n";
    return 1;
}

int Usage() {
    std::cerr << "quorvel-sign: wrong arguments; see quorvel-sign --help\n";
    return 2;
}

std::optional<std::string> ReadShort(const std::string& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(limit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad() || static_cast<std::size_t>(in.gcount()) > limit)
        return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

std::optional<TPublicKey> ReadPublicKey(const std::string& text) {
    if (auto key = TPublicKey::FromBase64(text))
        return key;
    const auto fromFile = ReadShort(text, 256);
    return fromFile ? TPublicKey::FromBase64(*fromFile) : std::nullopt;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::uint64_t> PositiveNumber(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    try {
        const unsigned long long value = std::stoull(text);
        return value > 0 ? std::optional<std::uint64_t>(value) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::int64_t> Expiry(const Arguments& args, std::int64_t defaultDays, std::int64_t maxDays) {
    const std::int64_t now = UtcTime::Now();
    std::optional<std::int64_t> expires;
    if (const auto at = args.Option("--expires")) {
        if (!args.Has("--days"))
            expires = UtcTime::Parse(*at);
    } else {
        const auto days = args.Has("--days") ? PositiveNumber(*args.Option("--days"))
                                             : std::optional<std::uint64_t>(defaultDays);
        if (days && *days <= static_cast<std::uint64_t>(maxDays))
            expires = now + static_cast<std::int64_t>(*days) * kSecondsPerDay;
    }
    if (!expires || *expires <= now || *expires > now + maxDays * kSecondsPerDay)
        return std::nullopt;
    return expires;
}

} // namespace quorvel
