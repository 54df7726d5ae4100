#include "WindowResources.h"

#include <QtCore/qglobal.h>

// Outside any namespace, as Qt's resource initialisation requires.
static void InitWindowQrc() {
    Q_INIT_RESOURCE(window);
}

void InitWindowResources() {
    static const bool done = (InitWindowQrc(), true);
    (void)done;
}
