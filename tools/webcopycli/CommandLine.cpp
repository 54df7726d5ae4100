#include "CommandLine.h"

#include <QDateTime>
#include <QString>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <map>

namespace quorvel {

namespace {

const std::map<std::string, TWebCopyProtocol> kProtocols{{"http", wpHttp},
                                                         {"ftp", wpFtp},
                                                         {"file", wpFile},
                                                         {"ftp-upload", wpFtpUpload},
                                                         {"http-upload", wpHttpUpload}};

// An ISO date ("2024-05-01" or "2024-05-01T12:30:00"), taken as UTC like the
// dates servers give.
bool ParseDate(const std::string& text, TDateTime& date) {
    QDateTime value = QDateTime::fromString(QString::fromStdString(text), Qt::ISODate);
    if (!value.isValid()) {
        const QDate day = QDate::fromString(QString::fromStdString(text), Qt::ISODate);
        if (!day.isValid())
            return false;
        value = QDateTime(day, QTime(0, 0));
    }
    // Calendar fields as written, without a zone change.
    const QDateTime utc(value.date(), value.time(), Qt::UTC);
    date = DateTime::FromUnixUtc(utc.toSecsSinceEpoch());
    return true;
}

// A password given by reference: the first line of a file, or the value of
// an environment variable; why not in problem.
std::string SecretFrom(const std::string& option, const std::string& value, std::string& problem) {
    if (option.ends_with("-env")) {
        const char* set = std::getenv(value.c_str());
        if (!set)
            problem = "the environment variable " + value + " (" + option + ") is not set";
        return set ? set : "";
    }
    // At most a short line is read: a password file is no stream.
    constexpr std::size_t kMaxLine = 4096;
    std::ifstream in(value, std::ios::binary);
    std::string text(kMaxLine + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(in ? text.size() : static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    const std::size_t end = text.find_first_of("\r\n");
    if (!in.is_open() || in.bad() || (end == std::string::npos && text.size() > kMaxLine))
        problem = "cannot read the password file " + value + " (" + option + ")";
    return text.substr(0, end);
}

bool ParsePort(const std::string& text, int& port) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    return ec == std::errc() && end == text.data() + text.size() && port > 0 && port <= 65535;
}

} // namespace

TCommandLine TCommandLine::Parse(const std::vector<std::string>& args) {
    TCommandLine line;
    auto fail = [&line](const std::string& why) {
        line.error = why;
        return line;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "-h" || option == "--help") {
            line.help = true;
            continue;
        }
        if (option == "--version") {
            line.version = true;
            continue;
        }
        if (option == "--passive") {
            line.passive = true;
            continue;
        }
        if (option == "--keep-existing") {
            line.keepExisting = true;
            continue;
        }
        if (option == "--resume") {
            line.resume = true;
            continue;
        }
        if (option.rfind("--", 0) != 0)
            return fail("unexpected argument '" + option + "'");
        if (i + 1 >= args.size())
            return fail("option " + option + " needs a value");
        const std::string& value = args[++i];
        if (option == "--protocol") {
            const auto it = kProtocols.find(value);
            if (it == kProtocols.end())
                return fail("unknown protocol '" + value + "'");
            line.jobs.emplace_back();
            line.jobs.back().protocol = it->second;
            continue;
        }
        if (option == "--proxy") {
            line.proxy = value;
            continue;
        }
        if (option == "--proxy-user") {
            line.proxyUser = value;
            continue;
        }
        if (option == "--proxy-password") {
            line.proxyPassword = value;
            continue;
        }
        std::string problem;
        if (option == "--proxy-password-file" || option == "--proxy-password-env") {
            line.proxyPassword = SecretFrom(option, value, problem);
            if (!problem.empty())
                return fail(problem);
            continue;
        }
        if (line.jobs.empty())
            return fail("option " + option + " comes before the first --protocol");
        TCommandLineJob& job = line.jobs.back();
        if (option == "--url")
            job.url = value;
        else if (option == "--host")
            job.host = value;
        else if (option == "--user")
            job.user = value;
        else if (option == "--password")
            job.password = value;
        else if (option == "--password-file" || option == "--password-env") {
            job.password = SecretFrom(option, value, problem);
            if (!problem.empty())
                return fail(problem);
        } else if (option == "--target-dir")
            job.targetDir = value;
        else if (option == "--target-name")
            job.targetName = value;
        else if (option == "--port") {
            if (!ParsePort(value, job.port))
                return fail("bad port '" + value + "'");
        } else if (option == "--newer-than") {
            if (!ParseDate(value, job.newerThan))
                return fail("bad date '" + value + "' (use 2024-05-01 or 2024-05-01T12:30:00)");
            job.newerOnly = true;
        } else if (option == "--verb") {
            if (value == "post" || value == "POST")
                job.verb = hcPost;
            else if (value == "put" || value == "PUT")
                job.verb = hcPut;
            else
                return fail("unknown verb '" + value + "' (post or put)");
        } else {
            return fail("unknown option " + option);
        }
    }
    if (!line.help && !line.version && line.jobs.empty())
        return fail("no job given (see --help)");
    for (const TCommandLineJob& job : line.jobs)
        if (job.url.empty())
            return fail("every job needs --url");
    return line;
}

std::string TCommandLine::HelpText() {
    return R"(Usage: webcopy [settings] --protocol P [job options] [--protocol P [job options]] ...

Runs the transfer jobs one after another, prints the progress and every
event, and exits with 0 only when every job succeeded.

Each --protocol starts a job: http, ftp, file, ftp-upload or http-upload.
Job options (they belong to the job started last):
  --url TEXT          http, http-upload: the URL; ftp: the remote path;
                      ftp-upload: the local file to send; file: the source
                      path (below the share when --host names one)
  --host TEXT         ftp, ftp-upload: the server; file: a share \\server\share
                      or //server/share (a server may carry :port)
  --port N            ftp, ftp-upload: the server's port (default 21)
  --user TEXT         login of the FTP server or the share
  --password TEXT     password of the FTP server or the share (anonymous FTP
                      unless both user and password are given); other users
                      of the machine can see a command line, so prefer:
  --password-file F   the password is the first line of the file F
  --password-env NAME the password is the value of environment variable NAME
  --target-dir DIR    downloads and copies: the folder to write into;
                      ftp-upload: the remote folder (created if one level is
                      missing); http-upload: the folder of the file to send
  --target-name NAME  the file name there (default: the source's name)
  --newer-than DATE   only when the source is newer than DATE (UTC,
                      2024-05-01 or 2024-05-01T12:30:00)
  --verb post|put     http-upload: the request (default post)
Settings (for all jobs):
  --passive           passive FTP
  --keep-existing     never replace an existing target file
  --resume            http: a download that ends early keeps what arrived
                      (beside the target), and the same command run again
                      asks the server for the rest
  --proxy HOST[:PORT]
                      an HTTP proxy; --proxy-user, --proxy-password its login
                      (or --proxy-password-file F, --proxy-password-env NAME)
  -h, --help          this text
  --version           the version of webcopy

Examples:
  webcopy --protocol http --url http://example.test/files/a.zip --target-dir /tmp/in
  webcopy --resume --protocol http --url http://example.test/files/big.iso --target-dir /tmp/in
  webcopy --protocol http-upload --url http://example.test/upload/a.zip --verb put --target-dir /tmp/out
  webcopy --passive --protocol ftp --host ftp.example.test --url /pub/a.zip --target-dir /tmp/in
  webcopy --protocol ftp-upload --host ftp.example.test --user me --password pw --url /tmp/out/a.zip --target-dir incoming
  webcopy --protocol file --url /srv/builds/a.zip --target-dir /tmp/in --newer-than 2024-05-01
  webcopy --protocol file --host //fileserver/builds --user me --password pw --url a.zip --target-dir /tmp/in
)";
}

} // namespace quorvel
