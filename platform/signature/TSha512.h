#pragma once

#include "QuorvelExport.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// A SHA-512 digest computed piece by piece, so bytes can be hashed while they
// arrive or are read, never held whole.
class QUORVEL_EXPORT TSha512 {
public:
    static constexpr std::size_t kSize = 64;
    using Digest = std::array<unsigned char, kSize>;

    TSha512();
    ~TSha512();
    TSha512(TSha512&&) noexcept;
    TSha512& operator=(TSha512&&) noexcept;

    // False when the cryptography library failed (the digest is then unusable).
    bool Update(const void* data, std::size_t size);
    // The digest of everything given since construction or the last Reset.
    bool Final(Digest& digest);
    void Reset();
    // Bytes given since construction or the last Reset.
    std::uint64_t Size() const { return m_size; }

    // Lower-case hexadecimal, 128 characters; FromHex takes only that form.
    static std::string Hex(const Digest& digest);
    static std::optional<Digest> FromHex(std::string_view text);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::uint64_t m_size = 0;
    bool m_ok = false;
};

} // namespace quorvel
