#include "BuiltInSettings.h"

// Settings a build may leave out (a vendor's build names only what it uses).
#ifndef QUORVEL_RELEASE
#define QUORVEL_RELEASE 0ULL
#endif
#ifndef QUORVEL_ROOT_KEYS
#define QUORVEL_ROOT_KEYS ""
#define QUORVEL_ROOT_THRESHOLD 1U
#endif

namespace quorvel {

TUpdateSettings BuiltInSettings() {
    TUpdateSettings settings;
    settings.url = QStringLiteral(QUORVEL_UPDATE_URL);
    settings.key = QStringLiteral(QUORVEL_UPDATE_KEY);
    settings.nextKey = QStringLiteral(QUORVEL_UPDATE_KEY_NEXT);
    // Root keys are separated by "," in the build's text.
    settings.rootKeys = QStringLiteral(QUORVEL_ROOT_KEYS).split(QLatin1Char(','), Qt::SkipEmptyParts);
    settings.threshold = QUORVEL_ROOT_THRESHOLD;
    settings.product = QStringLiteral(QUORVEL_PRODUCT);
    settings.release = QUORVEL_RELEASE;
    settings.maxPackageSize = QUORVEL_MAX_PACKAGE_SIZE;
    return settings;
}

} // namespace quorvel
