#pragma once

#include "DateTime.h"
#include "WebCopyTypes.h"

#include <string>
#include <vector>

namespace quorvel {

// One job as given on the command line.
struct TCommandLineJob {
    TWebCopyProtocol protocol = wpHttp;
    std::string url, host, user, password, targetDir, targetName;
    int port = 21;
    bool newerOnly = false;
    TDateTime newerThan = 0;
    TWebCopyHTTPCommand verb = hcPost;
};

// The parsed command line of webcopy: engine settings and the jobs in order.
struct TCommandLine {
    bool help = false;
    bool version = false;
    bool passive = false;
    bool keepExisting = false;
    bool resume = false;
    std::string proxy, proxyUser, proxyPassword;
    std::vector<TCommandLineJob> jobs;
    // Set when the command line cannot be used; says why.
    std::string error;

    static TCommandLine Parse(const std::vector<std::string>& args);
    static std::string HelpText();
};

} // namespace quorvel
