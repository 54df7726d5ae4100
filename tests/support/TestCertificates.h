#pragma once

#include <filesystem>

// Certificates made by the openssl tool for TLS tests, in a folder the test
// owns: an authority of the test's own and two server certificates it
// issued, one valid for 127.0.0.1 and one for another name only.
struct TestCertificates {
    // Throws std::runtime_error when the openssl tool fails.
    explicit TestCertificates(const std::filesystem::path& folder);

    std::filesystem::path authority;  // the authority's certificate (PEM)
    std::filesystem::path serverCert; // for 127.0.0.1
    std::filesystem::path serverKey;
    std::filesystem::path otherNameCert; // for other.example only
    std::filesystem::path otherNameKey;
};
