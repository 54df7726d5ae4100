#include "LocalSmbServer.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

LocalSmbServer::LocalSmbServer(const std::string& password) {
    namespace fs = std::filesystem;
    if (const char* home = std::getenv("HOME")) {
        m_hadHome = true;
        m_oldHome = home;
    }
    for (const char* sub : {"share", "private", "lock", "state", "cache", "pid", "ncalrpc", "home"})
        fs::create_directories(m_dir / sub);
    ::setenv("HOME", (m_dir / "home").c_str(), 1);
    if (::geteuid() != 0) {
        m_problem = "smbd serves the share to root only, and these tests do not run as root";
        return;
    }
    if (!fs::exists("/usr/sbin/smbd") || !fs::exists("/usr/bin/smbpasswd")) {
        m_problem = "smbd or smbpasswd is not installed (Debian package samba)";
        return;
    }
    m_port = FreePort();
    const fs::path conf = m_dir / "smb.conf";
    {
        std::ofstream out(conf);
        const std::string d = m_dir.Path().string();
        out << "[global]\n"
            << "  smb ports = " << m_port << "\n"
            << "  interfaces = lo\n  bind interfaces only = yes\n"
            << "  server role = standalone server\n  passdb backend = tdbsam\n"
            << "  private dir = " << d << "/private\n  lock directory = " << d << "/lock\n"
            << "  state directory = " << d << "/state\n  cache directory = " << d << "/cache\n"
            << "  pid directory = " << d << "/pid\n  ncalrpc dir = " << d << "/ncalrpc\n"
            << "  log file = " << d << "/log\n"
            << "  load printers = no\n  disable spoolss = yes\n  server min protocol = SMB2\n"
            << "[files]\n  path = " << d << "/share\n  read only = no\n  valid users = root\n";
    }
    const std::string add = "/usr/bin/smbpasswd -c '" + conf.string() + "' -s -a root >/dev/null 2>&1";
    FILE* pipe = ::popen(add.c_str(), "w");
    if (!pipe) {
        m_problem = "smbpasswd could not be started";
        return;
    }
    std::fprintf(pipe, "%s\n%s\n", password.c_str(), password.c_str());
    if (::pclose(pipe) != 0) {
        m_problem = "smbpasswd could not add the user";
        return;
    }
    m_smbd = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/usr/sbin/smbd", "--foreground", "--no-process-group", "-s", conf.string()});
    if (!WaitForPort(m_port, 15000))
        m_problem = "smbd did not start listening on port " + std::to_string(m_port);
}

LocalSmbServer::~LocalSmbServer() {
    m_smbd.reset();
    if (m_hadHome)
        ::setenv("HOME", m_oldHome.c_str(), 1);
    else
        ::unsetenv("HOME");
}

std::string LocalSmbServer::Unc() const {
    return "\\\\127.0.0.1:" + std::to_string(m_port) + "\\files";
}
