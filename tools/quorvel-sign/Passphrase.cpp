#include "Passphrase.h"

#include "SignatureError.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quorvel {

namespace Passphrase {

namespace {

constexpr std::size_t kMaxSize = 4096;

void WipeBytes(char* bytes, std::size_t size) {
    volatile char* at = bytes;
    for (std::size_t i = 0; i < size; ++i)
        at[i] = 0;
}

// Reads one line from fd into buffer, without its line end: the count of
// bytes, or -1 when reading fails or the line is longer than the buffer.
long ReadLine(int fd, char* buffer, std::size_t size) {
    std::size_t used = 0;
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0 || c == '\n' || c == '\r')
            return static_cast<long>(used);
        if (used == size)
            return -1;
        buffer[used++] = c;
    }
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

void Wipe(std::string& text) {
    WipeBytes(text.data(), text.size());
    text.clear();
}

std::optional<std::string> FromOptions(const Arguments& args, std::string& problem) {
    std::optional<std::string> passphrase;
    if (const auto name = args.Option("--passphrase-env")) {
        const char* value = std::getenv(name->c_str());
        if (!value)
            problem = "the environment variable " + *name + " is not set";
        else
            passphrase.emplace(value);
    } else if (const auto file = args.Option("--passphrase-file")) {
        const Fd in{::open(file->c_str(), O_RDONLY | O_CLOEXEC)};
        char buffer[kMaxSize];
        const long size = in.fd >= 0 ? ReadLine(in.fd, buffer, sizeof buffer) : -1;
        if (size < 0)
            problem = *file + ": cannot read the passphrase";
        else
            passphrase.emplace(buffer, static_cast<std::size_t>(size));
        WipeBytes(buffer, sizeof buffer);
    }
    if (passphrase && passphrase->empty() && problem.empty())
        problem = "the passphrase is empty";
    return passphrase;
}

std::optional<std::string> FromTerminal(const std::string& prompt) {
    const Fd tty{::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)};
    termios saved{};
    if (tty.fd < 0 || ::tcgetattr(tty.fd, &saved) != 0)
        return std::nullopt;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    if (::tcsetattr(tty.fd, TCSANOW, &quiet) != 0)
        return std::nullopt;
    [[maybe_unused]] const ssize_t shown = ::write(tty.fd, prompt.data(), prompt.size());
    char buffer[kMaxSize];
    const long size = ReadLine(tty.fd, buffer, sizeof buffer);
    ::tcsetattr(tty.fd, TCSANOW, &saved);
    std::optional<std::string> passphrase;
    if (size > 0)
        passphrase.emplace(buffer, static_cast<std::size_t>(size));
    WipeBytes(buffer, sizeof buffer);
    return passphrase;
}

std::optional<TSigningKey> LoadKey(const std::string& keyFile, const Arguments& args, int& result) {
    std::string problem;
    auto passphrase = FromOptions(args, problem);
    if (!problem.empty()) {
        result = FailWith(problem);
        return std::nullopt;
    }
    const bool given = passphrase.has_value();
    SignatureError error = SignatureError::kNone;
    auto key = TSigningKey::Load(keyFile, error, passphrase);
    // An encrypted key without a passphrase given: ask whoever is at the
    // terminal, once.
    if (!key && error == SignatureError::kPassphrase && !given &&
        (passphrase = FromTerminal("Passphrase of " + keyFile + ": ")))
        key = TSigningKey::Load(keyFile, error, passphrase);
    if (passphrase)
        Wipe(*passphrase);
    if (!key)
        result = Fail(keyFile, error);
    return key;
}

} // namespace Passphrase

} // namespace quorvel
