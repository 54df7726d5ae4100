#include "LocalHttpServer.h"
#include "TempDir.h"

#include "TUpdate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sys/time.h>

using namespace quorvel;

namespace {

const std::int64_t kServerTime = 1767225600; // 2026-01-01 00:00:00 UTC, an even second

// Without a key the server's date decides. It is GMT; the package file's
// time is taken as UTC in whatever zone the program runs, in two-second
// steps: a file one second newer than the server's copy counts as equal,
// which is an update, two seconds newer is the installed version.
TEST(DateRule, ThePackageFileAgainstTheServersDateInTwoSecondStepsInEveryTimeZone) {
    TempDir folder;
    LocalHttpServer server;
    HttpReply dated;
    dated.lastModified = kServerTime;
    server.ServeBytes("/DirevidUreziv.cab", "package", dated);
    TUpdateSettings settings;
    settings.folder = QString::fromStdString(folder.Slash());
    settings.url = QString::fromStdString(server.Url("/DirevidUreziv.cab"));
    WriteFile(folder / "DirevidUreziv.cab", "installed package");

    std::optional<std::string> previousZone;
    if (const char* zone = std::getenv("TZ"))
        previousZone = zone;
    const struct {
        std::int64_t fileTime;
        TUpdateReason reason;
    } cases[] = {
        {kServerTime - 3600, TUpdateReason::UpdateAvailable},
        {kServerTime + 1, TUpdateReason::UpdateAvailable},
        {kServerTime + 2, TUpdateReason::UpToDate},
        {kServerTime + 3600, TUpdateReason::UpToDate},
    };
    for (const char* zone : {"UTC", "Asia/Tokyo", "America/Los_Angeles"}) {
        setenv("TZ", zone, 1);
        tzset();
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(zone) + " " + std::to_string(c.fileTime - kServerTime));
            const timeval times[2] = {{static_cast<time_t>(c.fileTime), 0},
                                      {static_cast<time_t>(c.fileTime), 0}};
            ASSERT_EQ(utimes((folder / "DirevidUreziv.cab").c_str(), times), 0);
            EXPECT_EQ(TUpdate(settings).Check().reason, c.reason);
        }
    }
    if (previousZone)
        setenv("TZ", previousZone->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

} // namespace
