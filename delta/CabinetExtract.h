#pragma once

#include "TSha512.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// Unpacks a whole cabinet into a folder of the caller's (the vendor's side
// and checks of a delta, not the install): every entry's path is the one an
// install gives it, and each file's digest and size are taken as it is
// written.
namespace CabinetExtract {

struct TFile {
    std::string path; // below the folder, "/" between names
    TSha512::Digest digest{};
    std::uint64_t size = 0;
    bool executable = false; // the cabinet marks it as a program to run
};

// Files in the cabinet's order; a later entry of the same path replaces an
// earlier one, as in an install. False with a text in error.
bool Extract(const std::string& cabinet, const std::string& folder, std::vector<TFile>& files,
             std::string& error);

} // namespace CabinetExtract

} // namespace quorvel
