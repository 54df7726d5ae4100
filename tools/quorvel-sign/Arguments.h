#pragma once

#include "SignatureError.h"
#include "TPublicKey.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// The command line past the command: the words in order, and the options
// (each "--name value", or a flag "--name"; some may come more than once).
struct Arguments {
    std::vector<std::string> words;
    std::multimap<std::string, std::string> options;
    bool valid = true;

    std::optional<std::string> Option(const std::string& name) const;
    std::vector<std::string> All(const std::string& name) const;
    bool Has(const std::string& name) const { return options.count(name) > 0; }
};

Arguments Split(const std::vector<std::string>& args);

// Each reports on standard error and returns the exit status: 1, or 2 for
// wrong usage.
int Fail(const std::string& what, SignatureError code);
int FailWith(const std::string& message);
int Usage();

// Reads a short text file (a key, a statement, a passphrase); nullopt when it
// cannot be read or is longer than limit.
std::optional<std::string> ReadShort(const std::string& path, std::size_t limit);
// A public key given as its base64 or as a file holding it.
std::optional<TPublicKey> ReadPublicKey(const std::string& text);
// The last part of a path: the name a package is published under.
std::string BaseName(const std::string& path);
// A whole number from 1 to 2^64 - 1.
std::optional<std::uint64_t> PositiveNumber(const std::string& text);
// The expiry the options ask for: --expires as given, or --days (default
// defaultDays, at most maxDays) from now; nullopt when it is not to come or
// lies more than maxDays ahead.
std::optional<std::int64_t> Expiry(const Arguments& args, std::int64_t defaultDays, std::int64_t maxDays);

} // namespace quorvel
