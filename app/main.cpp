#include "ThemeAccess.h"
#include "softwareupdate.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DirevidUreziv"));
    QApplication::setApplicationDisplayName(QString());
    // Theme access is bound before the first window and let go after the last.
    Theme::LoadThemeLibrary();
    int result = 0;
    {
        TForm1 form;
        form.show();
        result = app.exec();
    }
    Theme::ReleaseThemeLibrary();
    return result;
}
