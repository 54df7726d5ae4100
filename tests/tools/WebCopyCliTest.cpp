#include "WebCopyCli.h"
#include "LocalFtpServer.h"
#include "LocalHttpServer.h"
#include "LocalSmbServer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <sstream>

using namespace quorvel;

namespace {

struct Outcome {
    int code;
    std::string out, err;
};

Outcome Cli(std::vector<std::string> args, bool terminal = false) {
    args.insert(args.begin(), "webcopy");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    std::ostringstream out, err;
    const int code = RunWebCopyCli(static_cast<int>(argv.size()), argv.data(), out, err, terminal, false);
    return {code, out.str(), err.str()};
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(WebCopyCli, HelpShowsEveryOptionAndAnExamplePerProtocol) {
    const Outcome r = Cli({"--help"});
    EXPECT_EQ(r.code, 0);
    for (const char* option : {"--protocol", "--url", "--host", "--port", "--user", "--password", "--passive",
                               "--target-dir", "--target-name", "--newer-than", "--verb", "--resume"})
        EXPECT_TRUE(Has(r.out, option)) << option;
    for (const char* protocol : {"http ", "http-upload ", "ftp ", "ftp-upload ", "file "})
        EXPECT_TRUE(Has(r.out, std::string("webcopy --protocol ") + protocol) ||
                    Has(r.out, std::string("--passive --protocol ") + protocol))
            << protocol;
}

TEST(WebCopyCli, VersionNamesTheProgramAndItsVersionAlone) {
    const Outcome r = Cli({"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("webcopy \\(Quorvel\\) [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << r.out;
}

TEST(WebCopyCli, BadCommandLinesExitWith2) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"--url", "x"},
             {"--protocol", "gopher"},
             {"--protocol", "ftp", "--port", "99999", "--url", "a"},
             {"--protocol", "file", "--url", "a", "--newer-than", "yesterday"},
             {"--protocol", "http"},
             {"--protocol", "ftp", "--url", "a", "--password-env", "WEBCOPY_TEST_UNSET"},
             {"--protocol", "ftp", "--url", "a", "--password-file", "/nonexistent/password"}}) {
        const Outcome r = Cli(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(Has(r.err, "webcopy: "));
    }
}

TEST(WebCopyCli, HttpDownloadAndUpload) {
    LocalHttpServer server;
    TempDir dir;
    server.ServeBytes("/get/a.bin", std::string(20000, 'a'));
    std::string uploaded;
    server.Server().Put("/put/a.bin", [&](const httplib::Request& req, httplib::Response& res) {
        uploaded = req.body;
        res.status = 201;
    });
    Outcome r = Cli({"--protocol", "http", "--url", server.Url("/get/a.bin"), "--target-dir", dir.Slash()});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "start 1: " + server.Url("/get/a.bin")));
    EXPECT_TRUE(Has(r.out, "Progress : 20.00 Kb of 20.00 Kb  Transfer rate : "));
    EXPECT_EQ(ReadFile(dir / "a.bin"), std::string(20000, 'a'));

    r = Cli({"--protocol", "http-upload", "--url", server.Url("/put/a.bin"), "--verb", "put", "--target-dir",
             dir.Slash()});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(uploaded, std::string(20000, 'a'));

    // One failing job of two fails the run, and its error is printed.
    server.ServeStatus("/get/none.bin", 404);
    r = Cli({"--protocol", "http", "--url", server.Url("/get/a.bin"), "--target-dir", dir.Slash(),
             "--protocol", "http", "--url", server.Url("/get/none.bin"), "--target-dir", dir.Slash()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Has(r.out, "error 404: Returned http error code 404"));
    EXPECT_TRUE(Has(r.out, "replacing: " + dir.Slash() + "a.bin"));
}

// With --resume, a download cut short goes on from where it stopped when the
// same command runs again.
TEST(WebCopyCli, ResumeGoesOnFromWhereTheDownloadStopped) {
    LocalHttpServer server;
    TempDir dir;
    const std::string data(200000, 'r');
    std::vector<std::string> ranges;
    server.Server().Get("/r.bin", [&](const httplib::Request& req, httplib::Response& res) {
        ranges.push_back(req.get_header_value("Range"));
        res.set_header("Last-Modified", LocalHttpServer::HttpDate(1700000000));
        // A date a while after the change makes Last-Modified a validator.
        res.set_header("Date", LocalHttpServer::HttpDate(1700000100));
        if (ranges.size() > 1) {
            res.set_content(data, "application/octet-stream"); // the server answers the range itself
            return;
        }
        res.set_content_provider(data.size(), "application/octet-stream",
                                 [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     return offset == 0 && sink.write(data.data(), 50000);
                                 });
    });
    const std::vector<std::string> args{"--resume",           "--protocol",   "http",     "--url",
                                        server.Url("/r.bin"), "--target-dir", dir.Slash()};
    EXPECT_EQ(Cli(args).code, 1);
    const Outcome r = Cli(args);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ReadFile(dir / "r.bin"), data);
    EXPECT_EQ(ranges, (std::vector<std::string>{"", "bytes=50000-"}));
}

TEST(WebCopyCli, FtpDownloadAndUploadWithAUser) {
    TempDir remote, local;
    WriteFile(remote / "f.txt", "via ftp");
    LocalFtpServer server(remote.Path(), {.user = "u", .password = "p", .noSize = false});
    const std::string port = std::to_string(server.Port());
    Outcome r = Cli({"--passive", "--protocol", "ftp", "--host", "127.0.0.1", "--port", port, "--user", "u",
                     "--password", "p", "--url", "/f.txt", "--target-dir", local.Slash()},
                    true);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ReadFile(local / "f.txt"), "via ftp");
    EXPECT_TRUE(Has(r.out, "\r\033[KProgress : 7 bytes of 7 bytes"));

    // The password kept off the command line: from a file's first line, or
    // from the environment.
    TempDir secrets;
    WriteFile(secrets / "password", "p\nnot this line\n");
    r = Cli({"--protocol", "ftp-upload", "--host", "127.0.0.1", "--port", port, "--user", "u",
             "--password-file", (secrets / "password").string(), "--url", (local / "f.txt").string(),
             "--target-dir", "in", "--target-name", "g.txt"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ReadFile(remote / "in" / "g.txt"), "via ftp");
    setenv("WEBCOPY_TEST_PASSWORD", "p", 1);
    r = Cli({"--protocol", "ftp", "--host", "127.0.0.1", "--port", port, "--user", "u", "--password-env",
             "WEBCOPY_TEST_PASSWORD", "--url", "/in/g.txt", "--target-dir", secrets.Slash()});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ReadFile(secrets / "g.txt"), "via ftp");

    r = Cli({"--protocol", "ftp", "--host", "127.0.0.1", "--port", port, "--url", "/f.txt", "--target-dir",
             local.Slash()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Has(r.out, "error 6: Cannot connect to FTP server 127.0.0.1"));
}

TEST(WebCopyCli, FileCopiesLocalAndFromAShare) {
    TempDir dir;
    WriteFile(dir / "src.bin", "local copy");
    Outcome r = Cli({"--protocol", "file", "--url", (dir / "src.bin").string(), "--target-dir",
                     (dir / "out").string(), "--newer-than", "2000-01-01"});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ReadFile(dir / "out" / "src.bin"), "local copy");
    r = Cli({"--protocol", "file", "--url", (dir / "src.bin").string(), "--target-dir",
             (dir / "out").string(), "--newer-than", "2999-01-01T00:00:00"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Has(r.out, "not newer: " + (dir / "src.bin").string()));

    LocalSmbServer smb("clipw");
    if (!smb.Problem().empty())
        GTEST_SKIP() << smb.Problem();
    WriteFile(smb.ShareDir() / "s.bin", "from share");
    r = Cli({"--protocol", "file", "--host", smb.Unc(), "--user", "root", "--password", "clipw", "--url",
             "s.bin", "--target-dir", dir.Slash()});
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ReadFile(dir / "s.bin"), "from share");
    r = Cli({"--protocol", "file", "--host", smb.Unc(), "--user", "root", "--password", "bad", "--url",
             "s.bin", "--target-dir", dir.Slash()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Has(r.out, "cannot connect the network share"));
}

} // namespace
