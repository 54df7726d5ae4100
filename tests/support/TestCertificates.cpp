#include "TestCertificates.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

void Run(const std::string& command) {
    if (std::system(("(" + command + ") >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("TestCertificates: openssl failed: " + command);
}

void Issue(const std::filesystem::path& folder, const std::string& name, const std::string& altName) {
    const std::string dir = "cd '" + folder.string() + "' && ";
    std::ofstream(folder / (name + ".ext")) << "subjectAltName=" << altName << "\n";
    Run(dir + "openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=" + name +
        " -keyout " + name + ".key -out " + name + ".csr");
    Run(dir + "openssl x509 -req -in " + name +
        ".csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -out " + name + ".pem -extfile " + name +
        ".ext");
}

} // namespace

TestCertificates::TestCertificates(const std::filesystem::path& folder)
    : authority(folder / "ca.pem"), serverCert(folder / "server.pem"), serverKey(folder / "server.key"),
      otherNameCert(folder / "other.pem"), otherNameKey(folder / "other.key") {
    Run("cd '" + folder.string() +
        "' && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj "
        "/CN=Test-Authority "
        "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign "
        "-keyout ca.key -out ca.pem");
    Issue(folder, "server", "IP:127.0.0.1");
    Issue(folder, "other", "DNS:other.example");
}
