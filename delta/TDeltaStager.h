#pragma once

#include "TStager.h"

namespace quorvel {

// A delta package, read from its open descriptor, as what fills an install's
// staging folder: the new release's files made from the product's current
// ones and the delta's patches. The descriptor stays the caller's.
class TDeltaStager : public TStager {
public:
    explicit TDeltaStager(int deltaFd) : m_fd(deltaFd) {}
    bool Declared(std::uint64_t& files, std::uint64_t& bytes) override;
    bool Fill(int productDir, int stagingDir, const std::string& stagingPath, TFileOps& ops) override;

private:
    int m_fd;
};

} // namespace quorvel
