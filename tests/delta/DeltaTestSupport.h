#pragma once

#include "TempDir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Bytes that do not compress, so a patch's size shows what it shares with
// its reference: a different seed gives different bytes.
std::string RandomBytes(std::size_t size, unsigned seed);
// bytes with `count` bytes at `at` replaced by other random bytes.
std::string Changed(std::string bytes, std::size_t at, std::size_t count, unsigned seed);

// Runs a command through the shell; its exit status.
int RunShell(const std::string& command);
// Writes the files (relative path -> bytes) below folder and packs them with
// gcab into cab.
void MakeCab(const fs::path& cab, const fs::path& folder,
             const std::vector<std::pair<std::string, std::string>>& files);
