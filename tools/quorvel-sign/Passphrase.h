#pragma once

#include "Arguments.h"
#include "TSigningKey.h"

#include <optional>
#include <string>

namespace quorvel {

// The passphrase of an encrypted private key: from --passphrase-env NAME,
// from the first line of --passphrase-file FILE, or, when neither is given
// and a terminal is there, typed on the terminal without echo. It is never
// taken from the command line itself, and every copy of ours is wiped as
// soon as it is used.
namespace Passphrase {

// Overwrites the text's bytes, in a way the compiler keeps.
void Wipe(std::string& text);

// The passphrase the options name: none when neither option is given; an
// error message in problem when the one given cannot be read or is empty.
std::optional<std::string> FromOptions(const Arguments& args, std::string& problem);

// Asks on the terminal (/dev/tty) without echo; nullopt when there is none
// or nothing was typed.
std::optional<std::string> FromTerminal(const std::string& prompt);

// The private key of keyFile: a plain file as it is, an encrypted one with
// the options' passphrase or, without options, one typed on the terminal. On
// failure result is the exit status.
std::optional<TSigningKey> LoadKey(const std::string& keyFile, const Arguments& args, int& result);

} // namespace Passphrase

} // namespace quorvel
