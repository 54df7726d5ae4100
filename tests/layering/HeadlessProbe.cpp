// A console program that links one component meant to run without a window
// and fails when a Qt Gui or Widgets library is mapped into it, whether
// pulled in at start or loaded on the way: a widget dependency added below
// the window shows up here as a failed test.

#include "WebCopy.h"
#ifdef PROBE_UPDATE
#include "TUpdate.h"
#endif

#include <QCoreApplication>

#include <fstream>
#include <iostream>
#include <set>
#include <string>

using namespace quorvel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    {
        TWebCopy engine;
        engine.ShowDialog = false;
#ifdef PROBE_UPDATE
        TUpdateSettings settings;
        settings.folder = QStringLiteral("/nonexistent/");
        TUpdate update(settings);
        (void)update.InstalledRelease();
#endif
    }
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> found;
    for (std::string line; std::getline(maps, line);)
        if (line.find("libQt6Gui") != std::string::npos || line.find("libQt6Widgets") != std::string::npos)
            found.insert(line.substr(line.find('/')));
    for (const std::string& library : found)
        std::cout << "loaded: " << library << '\n';
    return found.empty() ? 0 : 1;
}
