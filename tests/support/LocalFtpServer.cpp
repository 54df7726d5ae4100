#include "LocalFtpServer.h"

LocalFtpServer::LocalFtpServer(const std::filesystem::path& root) : LocalFtpServer(root, Options{}) {}

LocalFtpServer::LocalFtpServer(const std::filesystem::path& root, const Options& options) {
    std::vector<std::string> argv{"/usr/bin/python3", QUORVEL_SOURCE_DIR "/tests/support/ftp_server.py",
                                  "--root", root.string()};
    if (!options.user.empty()) {
        argv.insert(argv.end(), {"--user", options.user, "--password", options.password});
    }
    if (options.noSize)
        argv.push_back("--no-size");
    if (options.noDate)
        argv.push_back("--no-date");
    m_process = std::make_unique<ChildProcess>(argv);
    const std::string line = m_process->ReadLine(10000);
    if (line.rfind("PORT ", 0) == 0)
        m_port = std::stoi(line.substr(5));
}
