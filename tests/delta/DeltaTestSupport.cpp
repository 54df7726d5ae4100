#include "DeltaTestSupport.h"

#include <cstdlib>
#include <random>

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937_64 random(seed);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t value = random();
        for (std::size_t k = 0; k < 8 && i + k < size; ++k)
            bytes[i + k] = static_cast<char>(value >> (8 * k));
    }
    return bytes;
}

std::string Changed(std::string bytes, std::size_t at, std::size_t count, unsigned seed) {
    bytes.replace(at, count, RandomBytes(count, seed));
    return bytes;
}

int RunShell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void MakeCab(const fs::path& cab, const fs::path& folder,
             const std::vector<std::pair<std::string, std::string>>& files) {
    std::string names;
    for (const auto& [name, bytes] : files) {
        fs::create_directories((folder / name).parent_path());
        WriteFile(folder / name, bytes);
        names += " '" + name + "'";
    }
    RunShell("cd '" + folder.string() + "' && gcab -c -z '" + cab.string() + "'" + names + " >/dev/null");
}
